// Trace channels and their on/off switches.
//
// A channel has a name, a description, a state (on or off) and a level
// member. A write reaches the channel's output descriptor (standard output
// for "STDOUT", looked up at each write) before it returns: nothing is
// buffered, so that a redirection of standard output around one write
// catches all of it. A write is made when the channel is on and its level
// member (or the level given to TraPrint) does not exceed the channel's
// verbosity (9 unless changed through QorTraControle::TraPutVerbosity).
//
// The state belongs to the channel name: every channel of that name, and
// any channel of that name built later, follows the last switch. Without
// a switch a channel is on, unless the environment variable KORSYS_TRACES
// says otherwise at the first channel's construction: a comma-separated
// list of name=on|off entries, where the name * stands for every channel
// ("*=off,VARDPrint=on").
//
// Threads: channels may be used, switched and built from any thread. The
// states live in a registry that is never destroyed, and a channel's
// name belongs to that registry, so a thread still writing while the
// process exits finds both in place. Each write is one write(2) of the
// whole message, so messages of different threads never interleave.
#ifndef KORSYS_QORTRACE_H
#define KORSYS_QORTRACE_H

#include <atomic>

#include "KORSYS/export.h"

// A named channel of trace output.
class KORSYS_EXPORT QorTrace {
 public:
  // output: "STDOUT" (the default for null), "STDERR", or a file path that
  // is opened for appending (standard output when it cannot be opened).
  // buffer_size is kept for the record; writes are never buffered.
  QorTrace(const char *name, const char *description, int mode = 0,
           const char *output = "STDOUT", int buffer_size = 1024);
  ~QorTrace();
  QorTrace(const QorTrace &) = delete;
  QorTrace &operator=(const QorTrace &) = delete;

  // What the channel was built with.
  const char *GetName() const { return _Name; }
  const char *GetDescription() const { return _Description; }
  int GetMode() const { return _Mode; }
  int GetBufferSize() const { return _BufferSize; }
  int IsActive() const;  // 1 on, 0 off

  // The text as it is (no line feed added); TraPutLN(text, n) writes the
  // text followed by n in decimal. Each returns the number of bytes
  // written, 0 when the channel is silent, negative when the write failed.
  int TraPut(const char *text);
  int TraPutLN(const char *text);
  int TraPutLN(const char *text, long n);
  // Messages longer than MaxMessage bytes are cut there.
  int TraPrint(int level, const char *format, ...) __attribute__((format(printf, 3, 4)));
  enum { MaxMessage = 65536 };

  // Writes length bytes in one write at the given level, as TraPut would,
  // except that a channel whose output is standard output writes to
  // stdout_descriptor instead (the real standard output when it is -1).
  // This lets a caller aim one message elsewhere without moving
  // descriptor 1 under the feet of other threads.
  int TraPutTo(int stdout_descriptor, int level, const char *bytes, long length);

  // The level of the next TraPut/TraPutLN.
  std::atomic<int> _Level;

 private:
  int Emit(int stdout_descriptor, int level, const char *bytes, long length);
  const char *_Name;  // owned by the registry
  void *_State;       // the registry's entry for _Name
  char *_Description;
  int _Mode;
  int _BufferSize;
  int _Output;       // descriptor for a file output, -1 for STDOUT, -2 for STDERR
};

// Switches the channels of one name.
class KORSYS_EXPORT QorTraControle {
 public:
  explicit QorTraControle(const char *name);  // the channels named name
  ~QorTraControle();
  QorTraControle(const QorTraControle &) = delete;
  QorTraControle &operator=(const QorTraControle &) = delete;

  void TraPutFlg(int state);           // 1 on, 0 off
  int TraGetFlg() const;               // the state channels of this name have
  void TraPutVerbosity(int verbosity); // highest level written
 private:
  char *_Name;
};

#endif
