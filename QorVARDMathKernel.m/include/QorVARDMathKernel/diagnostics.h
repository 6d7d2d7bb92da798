/* Trace channels, the listing file and the print routines.
 *
 * Everything the library prints goes through a trace channel and lands on
 * standard output. A run may have a listing file: the library's messages
 * then land in the listing while the rest of the process keeps its
 * ordinary standard output. SetVardTraces opens the listing in the
 * directory named by the environment variable TBX_ODT_OUT.
 *
 * Threads: the print routines, the listing services and the channels may
 * be called from any thread. One process-wide lock orders every message
 * and every opening, move and closing of the listing; each message, its
 * line feed included, is written whole in one write, so messages never
 * interleave and each lands exactly once. The print routines write the
 * message straight to the listing's descriptor and never move descriptor
 * 1. Only the library's error reports, which are written through the
 * channels' own calls, point descriptor 1 at the listing for the length
 * of one write, under the lock: a thread that writes to descriptor 1 by
 * itself at that moment (printf, write(1, ...)) can see its text land in
 * the listing. Standard output is always restored afterwards. The
 * listing's descriptor is 3 or above and closed on exec.
 *
 * The print routines are plain C (usable from C and, compiled with
 * -fno-underscoring, from Fortran); every argument is passed by reference
 * and texts are zero-terminated (from Fortran: 'text'//char(0)); a hidden
 * length argument is not read. Channel and listing services are C++. */
#ifndef QORVARDMATHKERNEL_DIAGNOSTICS_H
#define QORVARDMATHKERNEL_DIAGNOSTICS_H

#include "QorVARDMathKernel/export.h"

QVK_EXTERN_C_BEGIN

/* Writes text as it is (no line feed added) on channel VARDPrint.
 * text [in] zero-terminated text. */
QVK_EXPORT void ehprint(const char *text);

/* Writes text immediately followed by n in decimal, then a line feed, on
 * channel VARDPrint.
 * text [in] zero-terminated text; n [in] the number. */
QVK_EXPORT void ehprini(const char *text, const int *n);

/* Writes x printed with format, then a line feed, on channel VARDPrint.
 * format [in] a printf format with exactly one conversion of a double
 *        (e, f, g or a, with flags, width and precision; %% allowed); any
 *        other format is written as text followed by a blank and x in %g.
 *        A width or precision above 1024 counts as 1024, and the
 *        formatted text is cut after 4096 bytes.
 * x      [in] the value. */
QVK_EXPORT void ehprinr(const char *format, const double *x);

/* Writes text, then a line feed, on channel OPTPrint.
 * text [in] zero-terminated text. */
QVK_EXPORT void eaoprnt(const char *text);

/* Writes text immediately followed by n in decimal, then a line feed, on
 * channel OPTPrint.
 * text [in] zero-terminated text; n [in] the number. */
QVK_EXPORT void eaoprnti(const char *text, const int *n);

/* As ehprinr on channel OPTPrint, with x first rounded to single precision
 * (0.1 prints as 0.100000001490116...).
 * format [in] as for ehprinr; x [in] the value. */
QVK_EXPORT void eaoprntr(const char *format, const double *x);

/* Flushes the buffered standard-output stream (fflush(stdout)). */
QVK_EXPORT void eyflsh(void);

QVK_EXTERN_C_END

#ifdef __cplusplus
#include "KORSYS/QorString.h"
#include "KORSYS/QorTrace.h"

/* The exported channels, built at load in this order and destroyed in the
 * reverse order at unload. The library writes only to Tra_VARDPrint and
 * Tra_OPTPrint. Every channel starts on unless KORSYS_TRACES says
 * otherwise (see the README); SetVardTraces changes five of them. */
QVK_EXPORT extern QorTrace Tra_VARDPrint;        /* "VARDPrint" */
QVK_EXPORT extern QorTrace Tra_VARDCompute;      /* "VARDCompute" */
QVK_EXPORT extern QorTrace Tra_VARDDefine;       /* "VARDDefine" */
QVK_EXPORT extern QorTrace Tra_VARDStorage;      /* "VARDStorage" */
QVK_EXPORT extern QorTrace Tra_VARDAcquire;      /* "VARDAcquire" */
QVK_EXPORT extern QorTrace Tra_VARDOutput;       /* "VARDOutput" */
QVK_EXPORT extern QorTrace Tra_VARDInfra;        /* "VARDInfra" */
QVK_EXPORT extern QorTrace Tra_VARDStorageLink;  /* "VARDStorageLink" */
QVK_EXPORT extern QorTrace Tra_VARDError;        /* "VARDError" */
QVK_EXPORT extern QorTrace Tra_VARDCpuElapse;    /* "VARDCpuElapse" */
QVK_EXPORT extern QorTrace Tra_OPTPrint;         /* "OPTPrint" */
QVK_EXPORT extern QorTrace Tra_VARDOptim;        /* "VARDOptim" */

/* The listing file: one per run, in a directory of the caller's choice,
 * named StratoSolverLog_<user>_<host>_d<day>_h<HH>m<MM>_<identifier>.txt.
 * Statuses: 0 success; 0x80070057 empty directory; 0x80070050 the
 * listing's name already exists in the directory; else the negative status
 * of the platform call that failed (0x8007xxxx, xxxx the system's error
 * number, 2 for a missing directory). */
class QVK_EXPORT QorVardListingServices {
 public:
  /* Opens the listing in directory, or moves the open one there (it keeps
   * its name and its contents and receives the later messages). Asking
   * for the directory of the open listing changes nothing and returns 0.
   * directory [in] an existing directory the process may read and write.
   * On failure the listing stays where it was, except when a move fails
   * once the old file is being closed: the listing is then closed (descriptor
   * -1, names empty), later messages go to standard output, and a note
   * saying so is written there. The move copies the file, then deletes
   * the old one. After a failed move exactly one file holds the listing:
   * the old one, when the close, the copy or the delete failed (a copy
   * already made is removed), else the new one, when only its opening
   * for appending failed. */
  static int Set(const QorUnicodeString &directory);
  /* Closes the listing; 0 when none is open. Afterwards the descriptor is
   * -1 and the names are empty, also when the close reports a failure
   * (the system has released the descriptor then too). */
  static int Reset();
  /* The two names are references to the state itself: read them only
   * while no other thread opens, moves or closes the listing. */
  static QorUnicodeString &GetDirectory(); /* empty when none is open */
  static QorUnicodeString &GetFileName();  /* without directory; empty when none */
  static int GetDescriptor();              /* -1 when none is open */
  /* name [out] a fresh listing name (login, host, day of year, hour,
   * minute, a new identifier), with "Unknown..." parts where the system
   * cannot tell. */
  static void ComputeFileName(QorUnicodeString &name);

  /* The listing's state, as the functions above return it. */
  static QorUnicodeString _Directory;
  static QorUnicodeString _FileName;
  static int _Descriptor;
};

/* Switches every channel named channel on (state 1) or off (0). */
QVK_EXPORT void QorVARDTraceState(const char *channel, int state);

/* The solver's set-up: VARDPrint on; VARDCompute, VARDDefine, VARDStorage
 * and VARDAcquire off; then the listing opened in the directory named by
 * TBX_ODT_OUT. Without a usable directory there, every message goes to
 * the ordinary standard output. */
QVK_EXPORT void SetVardTraces();
#endif

#endif
