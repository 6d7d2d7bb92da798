// Trace channels. The state of each channel name lives in one registry,
// built with the first channel or switch, so that a switch made before a
// channel exists still applies to it. The registry is never destroyed: a
// thread may still write through a channel while the process runs its
// exit handlers.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include <unistd.h>

#include "KORSYS/QorSystem.h"
#include "KORSYS/QorTrace.h"

namespace {

struct ChannelState {
  std::atomic<int> on{1};
  std::atomic<int> verbosity{9};
};

class TraceRegistry {
 public:
  // The entry of name, made on first use; the key and the entry stay in
  // place for the life of the process (map nodes never move).
  std::pair<const char *, ChannelState *> Entry(const char *name) {
    std::lock_guard<std::mutex> hold(_Lock);
    return FindLocked(name ? name : "");
  }
  ChannelState &State(const char *name) { return *Entry(name).second; }

  static TraceRegistry &get() {
    static TraceRegistry *registry = new TraceRegistry;  // never destroyed
    return *registry;
  }

 private:
  TraceRegistry() { ReadEnvironment(getenv("KORSYS_TRACES")); }

  std::pair<const char *, ChannelState *> FindLocked(const std::string &name) {
    auto found = _ByName.find(name);
    if (found == _ByName.end()) {
      found = _ByName.try_emplace(name).first;
      found->second.on = _DefaultOn;
    }
    return {found->first.c_str(), &found->second};
  }

  // "name=on|off|1|0" entries separated by commas; "*" is every channel.
  // Entries that do not parse are ignored.
  void ReadEnvironment(const char *settings) {
    if (!settings) return;
    std::string all = settings;
    size_t pos = 0;
    while (pos <= all.size()) {
      size_t end = all.find(',', pos);
      if (end == std::string::npos) end = all.size();
      std::string entry = all.substr(pos, end - pos);
      pos = end + 1;
      size_t eq = entry.find('=');
      if (eq == std::string::npos || eq == 0) continue;
      std::string name = entry.substr(0, eq), value = entry.substr(eq + 1);
      int on;
      if (value == "on" || value == "1") on = 1;
      else if (value == "off" || value == "0") on = 0;
      else continue;
      if (name == "*") {
        _DefaultOn = on;
        for (auto &e : _ByName) e.second.on = on;
      } else {
        FindLocked(name).second->on = on;
      }
    }
  }

  std::mutex _Lock;
  std::map<std::string, ChannelState> _ByName;
  int _DefaultOn = 1;
};

ChannelState &state_of(void *state) { return *static_cast<ChannelState *>(state); }

char *copy_text(const char *text) {
  size_t n = strlen(text ? text : "") + 1;
  char *c = static_cast<char *>(malloc(n));
  if (c) memcpy(c, text ? text : "", n);
  return c;
}

}  // namespace

QorTrace::QorTrace(const char *name, const char *description, int mode, const char *output,
                   int buffer_size)
    : _Level(0),
      _Name(nullptr),
      _State(nullptr),
      _Description(copy_text(description)),
      _Mode(mode),
      _BufferSize(buffer_size),
      _Output(-1) {
  auto entry = TraceRegistry::get().Entry(name);
  _Name = entry.first;
  _State = entry.second;
  if (output && strcmp(output, "STDERR") == 0) {
    _Output = -2;
  } else if (output && output[0] && strcmp(output, "STDOUT") != 0) {
    int fd = -1;
    if (QorFOpen(QorUnicodeString(output), "a", &fd) == 0) _Output = fd;
  }
}

// The name and the state stay with the registry, so that a late write
// through a destroyed static channel still finds them.
QorTrace::~QorTrace() {
  if (_Output >= 0) QorFClose(_Output);
  free(_Description);
}

int QorTrace::IsActive() const { return state_of(_State).on; }

// One write of the whole message to the channel's descriptor, looked up
// now so that a redirection of standard output made by the caller holds.
int QorTrace::Emit(int stdout_descriptor, int level, const char *bytes, long length) {
  const ChannelState &state = state_of(_State);
  if (!state.on || level > state.verbosity || length <= 0) return 0;
  int fd = _Output;
  if (fd == -2) fd = fileno(stderr);
  else if (fd < 0) fd = stdout_descriptor >= 0 ? stdout_descriptor : fileno(stdout);
  if (fd < 0) return QOR_E_FAIL;
  int rc = QorWrite(fd, bytes, static_cast<size_t>(length));
  return rc == 0 ? static_cast<int>(length) : rc;
}

int QorTrace::TraPutTo(int stdout_descriptor, int level, const char *bytes, long length) {
  return bytes ? Emit(stdout_descriptor, level, bytes, length) : 0;
}

int QorTrace::TraPut(const char *text) {
  return text ? Emit(-1, _Level, text, static_cast<long>(strlen(text))) : 0;
}
int QorTrace::TraPutLN(const char *text) { return TraPut(text); }
int QorTrace::TraPutLN(const char *text, long n) {
  char number[32];
  int digits = snprintf(number, sizeof number, "%ld", n);
  size_t head = strlen(text ? text : "");
  char *all = static_cast<char *>(malloc(head + static_cast<size_t>(digits) + 1));
  if (!all) return QOR_E_FAIL;
  memcpy(all, text ? text : "", head);
  memcpy(all + head, number, static_cast<size_t>(digits) + 1);
  int rc = Emit(-1, _Level, all, static_cast<long>(head) + digits);
  free(all);
  return rc;
}

int QorTrace::TraPrint(int level, const char *format, ...) {
  if (!format) return 0;
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  char small[512];
  int n = vsnprintf(small, sizeof small, format, args);
  va_end(args);
  int rc;
  if (n < 0) {
    rc = QOR_E_FAIL;
  } else if (static_cast<size_t>(n) < sizeof small) {
    rc = Emit(-1, level, small, n);
  } else {
    // A longer text is cut at MaxMessage bytes.
    size_t size = static_cast<size_t>(n < MaxMessage ? n : MaxMessage) + 1;
    char *big = static_cast<char *>(malloc(size));
    if (big) {
      int got = vsnprintf(big, size, format, again);
      rc = got < 0 ? QOR_E_FAIL : Emit(-1, level, big, static_cast<long>(size - 1));
      free(big);
    } else {
      rc = QOR_E_FAIL;
    }
  }
  va_end(again);
  return rc;
}

QorTraControle::QorTraControle(const char *name) : _Name(copy_text(name)) {}
QorTraControle::~QorTraControle() { free(_Name); }
void QorTraControle::TraPutFlg(int state) { TraceRegistry::get().State(_Name).on = state ? 1 : 0; }
int QorTraControle::TraGetFlg() const { return TraceRegistry::get().State(_Name).on; }
void QorTraControle::TraPutVerbosity(int verbosity) {
  TraceRegistry::get().State(_Name).verbosity = verbosity;
}
