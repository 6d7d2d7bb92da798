// Tools for tests of output and files: captured output, temporary folders,
// file reads, open descriptors, environment and fault-checkpoint scopes.
#ifndef QVK_TESTS_COMMON_CAPTURE_H
#define QVK_TESTS_COMMON_CAPTURE_H

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "KORSYS/QorSystem.h"

namespace qvk_test {

inline std::string read_file(const std::string &path) {
  std::ostringstream all;
  all << std::ifstream(path, std::ios::binary).rdbuf();
  return all.str();
}

inline bool file_exists(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// Open descriptors of this process.
inline int open_descriptors() {
  int n = 0;
  for (int fd = 0; fd < 1024; ++fd)
    if (fcntl(fd, F_GETFD) != -1) ++n;
  return n;
}

// A fresh temporary directory, removed with its files at the end.
struct TempDir {
  std::string path_;
  TempDir() {
    const char *base = getenv("TMPDIR");
    path_ = std::string(base && base[0] ? base : "/tmp") + "/qvk_test_XXXXXX";
    if (!mkdtemp(&path_[0])) path_.clear();
  }
  ~TempDir() {
    if (path_.empty()) return;
    if (DIR *d = opendir(path_.c_str())) {
      while (dirent *e = readdir(d))
        if (std::string(".") != e->d_name && std::string("..") != e->d_name) unlink(file(e->d_name).c_str());
      closedir(d);
    }
    rmdir(path_.c_str());
  }
  const std::string &path() const { return path_; }
  std::string file(const std::string &name) const { return path_ + "/" + name; }
};

// Sets an environment variable for a scope and puts back the old value.
struct EnvScope {
  std::string name_, old_;
  bool had_ = false;
  EnvScope(const char *name, const char *value) : name_(name) {
    if (const char *old = getenv(name)) old_ = old, had_ = true;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~EnvScope() { had_ ? setenv(name_.c_str(), old_.c_str(), 1) : unsetenv(name_.c_str()); }
};

// What body writes to descriptor fd (1: standard output, 2: errors): fd
// points at a file meanwhile, and is put back even if body throws.
template <class F>
std::string output_of(F &&body, int fd = 1) {
  TempDir dir;
  struct Redirect {
    int fd, saved;
    ~Redirect() {
      fflush(stdout);
      fflush(stderr);
      dup2(saved, fd);
      close(saved);
    }
  };
  {
    fflush(stdout);
    fflush(stderr);
    Redirect redirect{fd, dup(fd)};
    const int f = open(dir.file("out").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    dup2(f, fd);
    close(f);
    body();
  }
  return read_file(dir.file("out"));
}

// Runs body with the platform's n-th fault checkpoint failing. True when
// body made fewer than n calls (nothing failed: a sweep ends there).
template <class F>
bool fails_at(long n, F &&body) {
  QorFaultCountdown(n);
  body();
  const long calls = QorFaultCalls();
  QorFaultCountdown(0);
  return n > calls;
}

}  // namespace qvk_test

#endif
