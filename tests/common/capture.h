// Test tools for code that writes to standard output and to files:
// standard output captured into a file (descriptor 1 saved and restored),
// temporary directories, whole-file reads and a count of open descriptors.
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

namespace qvk_test {

inline std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
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

// A fresh directory under the temporary directory, removed with its
// files (one level) at the end.
class TempDir {
 public:
  TempDir() {
    const char *base = getenv("TMPDIR");
    std::string pattern = std::string(base && base[0] ? base : "/tmp") + "/qvk_test_XXXXXX";
    path_ = pattern;
    if (!mkdtemp(&path_[0])) path_.clear();
  }
  ~TempDir() {
    if (path_.empty()) return;
    if (DIR *d = opendir(path_.c_str())) {
      while (dirent *e = readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") unlink((path_ + "/" + name).c_str());
      }
      closedir(d);
    }
    rmdir(path_.c_str());
  }
  const std::string &path() const { return path_; }
  std::string file(const std::string &name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Points descriptor 1 (or target) at a file until text() or destruction;
// what reached it meanwhile is in text().
class StdoutCapture {
 public:
  explicit StdoutCapture(int target = 1) : target_(target) {
    fflush(stdout);
    fflush(stderr);
    saved_ = dup(target_);
    int fd = open(dir_.file("stdout").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    dup2(fd, target_);
    close(fd);
  }
  ~StdoutCapture() { restore(); }
  std::string text() {
    restore();
    return read_file(dir_.file("stdout"));
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    fflush(stdout);
    fflush(stderr);
    dup2(saved_, target_);
    close(saved_);
    saved_ = -1;
  }
  TempDir dir_;
  int target_;
  int saved_ = -1;
};

// Sets an environment variable for a scope and puts back the old value.
class EnvScope {
 public:
  EnvScope(const char *name, const char *value) : name_(name) {
    const char *old = getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    if (value) setenv(name, value, 1);
    else unsetenv(name);
  }
  ~EnvScope() {
    if (had_) setenv(name_.c_str(), old_.c_str(), 1);
    else unsetenv(name_.c_str());
  }

 private:
  std::string name_, old_;
  bool had_ = false;
};

}  // namespace qvk_test

#endif
