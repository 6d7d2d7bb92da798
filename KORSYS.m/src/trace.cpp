// Trace channels. The state of each channel name lives in one registry,
// built with the first channel or switch, so that a switch made before a
// channel exists still applies to it.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include <unistd.h>

#include "KORSYS/QorSystem.h"
#include "KORSYS/QorTrace.h"

namespace {

struct ChannelState {
  int on = 1;
  int verbosity = 9;
};

struct TraceRegistry {
  std::map<std::string, ChannelState> byName;
  int defaultOn = 1;

  TraceRegistry() { ReadEnvironment(getenv("KORSYS_TRACES")); }

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
        defaultOn = on;
        for (auto &e : byName) e.second.on = on;
      } else {
        State(name.c_str()).on = on;
      }
    }
  }

  ChannelState &State(const char *name) {
    auto found = byName.find(name ? name : "");
    if (found != byName.end()) return found->second;
    ChannelState fresh;
    fresh.on = defaultOn;
    return byName.emplace(name ? name : "", fresh).first->second;
  }

  static TraceRegistry &get() {
    static TraceRegistry registry;
    return registry;
  }
};

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
      _Name(copy_text(name)),
      _Description(copy_text(description)),
      _Mode(mode),
      _BufferSize(buffer_size),
      _Output(-1) {
  TraceRegistry::get().State(name);
  if (output && strcmp(output, "STDERR") == 0) {
    _Output = -2;
  } else if (output && output[0] && strcmp(output, "STDOUT") != 0) {
    int fd = -1;
    if (QorFOpen(QorUnicodeString(output), "a", &fd) == 0) _Output = fd;
  }
}

QorTrace::~QorTrace() {
  if (_Output >= 0) QorFClose(_Output);
  free(_Name);
  free(_Description);
}

int QorTrace::IsActive() const { return TraceRegistry::get().State(_Name).on; }

// One write of the whole message to the channel's descriptor, looked up
// now so that a redirection of standard output made by the caller holds.
int QorTrace::Emit(int level, const char *bytes, long length) {
  const ChannelState &state = TraceRegistry::get().State(_Name);
  if (!state.on || level > state.verbosity || length <= 0) return 0;
  int fd = _Output >= 0 ? _Output : (_Output == -2 ? fileno(stderr) : fileno(stdout));
  if (fd < 0) return QOR_E_FAIL;
  int rc = QorWrite(fd, bytes, static_cast<size_t>(length));
  return rc == 0 ? static_cast<int>(length) : rc;
}

int QorTrace::TraPut(const char *text) {
  return text ? Emit(_Level, text, static_cast<long>(strlen(text))) : 0;
}
int QorTrace::TraPutLN(const char *text) { return TraPut(text); }
int QorTrace::TraPutLN(const char *text, long n) {
  std::string all = text ? text : "";
  char number[32];
  snprintf(number, sizeof number, "%ld", n);
  all += number;
  return Emit(_Level, all.data(), static_cast<long>(all.size()));
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
    rc = Emit(level, small, n);
  } else {
    std::string big(static_cast<size_t>(n) + 1, '\0');
    vsnprintf(&big[0], big.size(), format, again);
    rc = Emit(level, big.data(), n);
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
