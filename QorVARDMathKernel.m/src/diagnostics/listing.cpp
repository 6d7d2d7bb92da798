// The listing file: its state, its name, opening, moving and closing it,
// and the solver's set-up of the channels.
#include <cstring>

#include "QorVARDMathKernel/diagnostics.h"
#include "diagnostics/platform/platform.h"
#include "diagnostics/redirect.h"

QorUnicodeString QorVardListingServices::_Directory;
QorUnicodeString QorVardListingServices::_FileName;
int QorVardListingServices::_Descriptor = -1;

QorUnicodeString &QorVardListingServices::GetDirectory() { return _Directory; }
QorUnicodeString &QorVardListingServices::GetFileName() { return _FileName; }
int QorVardListingServices::GetDescriptor() {
  std::lock_guard<std::recursive_mutex> hold(qvk::diag::listing_lock());
  return _Descriptor;
}

void QorVardListingServices::ComputeFileName(QorUnicodeString &name) {
  name = "StratoSolverLog_";

  char buffer[255];
  QorUnicodeString part = "UnknownUser_";
  memset(buffer, 0, sizeof buffer);
  if (QorGetLoginName(buffer, sizeof buffer) == 0 && buffer[0]) {
    part = buffer;
    part += "_";
  }
  name += part;

  QorSystemInfo info;
  part = "UnknownHost_";
  if (QorGetSystemInfo(&info) == 0 && info.hostName[0]) {
    part = info.hostName;
    part += "_";
  }
  name += part;

  // Day of the year, hour and minute.
  part = QorTime().ConvertToString("d%j_h%Hm%M_", 0);
  if (part.GetLengthInChar() == 0) part = "UnknownTime_";
  name += part;

  memset(buffer, 0, sizeof buffer);
  QorUuid().UUID_to_chaine(buffer);
  name += buffer;
  name += ".txt";
}

namespace {

// Forgets the listing: later messages go to standard output.
void mark_closed() {
  QorVardListingServices::_Descriptor = -1;
  QorVardListingServices::_FileName = "";
  QorVardListingServices::_Directory = "";
}

// Says on standard output (the listing being closed) why the listing was
// lost.
void note_lost(const QorUnicodeString &old_path, const QorUnicodeString &new_path, int rc) {
  QorUnicodeString code;
  code.BuildFromNum(static_cast<unsigned long>(static_cast<unsigned int>(rc)), "0x%08lx");
  QorUnicodeString note = QorUnicodeString("\nThe listing file ") + old_path +
                          " could not be moved to " + new_path + " (status " + code +
                          "); it is closed and messages go to standard output.\n";
  qvk::diag::print_text(Tra_VARDPrint, note);
}

}  // namespace

int QorVardListingServices::Set(const QorUnicodeString &directory) {
  if (directory == "") return static_cast<int>(0x80070057u);
  // No message may go to the listing while it is opened, moved or closed.
  std::lock_guard<std::recursive_mutex> hold(qvk::diag::listing_lock());

  QorUnicodeString path = directory;
  int rc = QorFileAccess(path, 6, 0);  // read and write permission
  if (rc < 0) return rc;

  QorUnicodeString name;
  const bool moving = _Descriptor != -1;
  if (!moving) {
    ComputeFileName(name);
  } else {
    rc = QorIdenticaleFile(path, _Directory);
    if (rc != 1) return rc;  // the open listing's own directory: nothing to do
    name = _FileName;        // a listing keeps its name when it moves
  }

  rc = QorMakePath(path, name);
  if (rc < 0) return rc;

  rc = QorFileAccess(path, 0, 0);
  if (rc == 0) return static_cast<int>(0x80070050u);  // that name is taken
  if ((rc & 0xFFFF) != 2) return rc;                   // anything but "not found"

  if (moving) {
    QorUnicodeString old = _Directory;
    rc = QorMakePath(old, _FileName);
    if (rc < 0) return rc;
    // From here the old descriptor is gone, even when its close fails:
    // any failure loses the listing.
    rc = QorFClose(_Descriptor);
    if (rc >= 0) rc = QorFCopy(old, path, 1);
    if (rc >= 0) {
      rc = QorDeleteFile(old);
      // The old file stands: the copy goes, so that one listing is left.
      if (rc < 0) QorDeleteFile(path);
    }
    if (rc < 0) {
      mark_closed();
      note_lost(old, path, rc);
      return rc;
    }
    int descriptor = -1;
    rc = QorFOpen(path, "a+c", &descriptor);
    if (rc < 0) {
      mark_closed();
      note_lost(old, path, rc);
      return rc;
    }
    _Descriptor = descriptor;
    _FileName = name;
    _Directory = directory;
    return rc;
  }

  int descriptor = -1;
  rc = QorFOpen(path, "a+c", &descriptor);
  if (rc >= 0) {
    _Descriptor = descriptor;
    _FileName = name;
    _Directory = directory;
  }
  return rc;
}

int QorVardListingServices::Reset() {
  std::lock_guard<std::recursive_mutex> hold(qvk::diag::listing_lock());
  if (_Descriptor == -1) return 0;
  // A failed close has released the descriptor all the same: keeping it
  // recorded would aim later messages at whatever file gets that number
  // next.
  int rc = QorFClose(_Descriptor);
  mark_closed();
  return rc;
}

void QorVARDTraceState(const char *channel, int state) {
  QorTraControle control(channel);
  control.TraPutFlg(state);
}

void SetVardTraces() {
  QorVARDTraceState("VARDPrint", 1);
  QorVARDTraceState("VARDCompute", 0);
  QorVARDTraceState("VARDDefine", 0);
  QorVARDTraceState("VARDStorage", 0);
  QorVARDTraceState("VARDAcquire", 0);
  QorVardListingServices::Set(QorUnicodeString(QorGetEnv("TBX_ODT_OUT")));
}
