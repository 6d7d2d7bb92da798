// Message catalogs: one text file per catalog, "<catalog>.msg", looked up
// in the directories of KORSYS_CATALOG_PATH (colon-separated) and then in
// share/KORSYS/catalogs of the prefix the library was installed into (or
// of the build tree), found from where the library itself lies. The
// first directory that has the file decides; a file that cannot be read or
// holds one malformed line counts as a catalog without texts.
//
// Line format:   <identifier>.<part> = <text>
//   part: Request, Diagnostic or Advice; blank lines and lines starting
//   with # are skipped; blanks around the key and the text are dropped.
//   In the text, \n is a line feed, \t a tab, \\ a backslash, \s a blank
//   (to keep one at either end), and {1} .. {25} are the placeholders.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "KORSYS/QorError.h"
#include "KORSYS/QorSystem.h"
#include "catalog.h"

namespace korsys {
namespace {

std::string trim(const std::string &s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

bool valid_identifier(const std::string &id) {
  if (id.empty()) return false;
  for (char c : id)
    if (!(isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  return true;
}

// Decodes the escapes of one text and checks its placeholders.
bool decode(const std::string &raw, std::string &out) {
  out.clear();
  for (size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '\\') {
      if (++i == raw.size()) return false;
      switch (raw[i]) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 's': out += ' '; break;
        case '\\': out += '\\'; break;
        default: return false;
      }
      continue;
    }
    if (c == '{') {
      size_t j = i + 1;
      while (j < raw.size() && isdigit(static_cast<unsigned char>(raw[j]))) ++j;
      if (j > i + 1 && j < raw.size() && raw[j] == '}') {
        if (j - i - 1 > 2) return false;
        int slot = atoi(raw.c_str() + i + 1);
        if (slot < 1 || slot > QorError::MaxParams) return false;
      }
    }
    out += c;
  }
  return true;
}

bool read_file(const std::string &path, std::string &contents, bool &exists) {
  exists = false;
  if (QorFaultPoint()) {  // unreadable, as a failed open would be
    exists = true;
    return false;
  }
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    exists = errno != ENOENT && errno != ENOTDIR;
    return false;
  }
  exists = true;
  char chunk[8192];
  for (;;) {
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return false;
    }
    if (n == 0) break;
    contents.append(chunk, static_cast<size_t>(n));
  }
  close(fd);
  return true;
}

// Parses a whole catalog; false when any line is malformed.
bool parse(const std::string &contents, std::map<std::string, std::string> &texts) {
  size_t pos = 0;
  while (pos < contents.size()) {
    size_t end = contents.find('\n', pos);
    if (end == std::string::npos) end = contents.size();
    std::string line = contents.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string t = trim(line);
    if (t.empty() || t[0] == '#') continue;
    if (line.find('\0') != std::string::npos) return false;
    size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    std::string key = trim(line.substr(0, eq));
    size_t dot = key.rfind('.');
    if (dot == std::string::npos) return false;
    std::string id = key.substr(0, dot), part = key.substr(dot + 1);
    if (!valid_identifier(id) ||
        (part != "Request" && part != "Diagnostic" && part != "Advice"))
      return false;
    std::string text;
    if (!decode(trim(line.substr(eq + 1)), text)) return false;
    if (!texts.emplace(key, text).second) return false;  // a key given twice
  }
  return true;
}

bool valid_catalog_name(const char *catalog) {
  if (!catalog || !catalog[0] || catalog[0] == '.') return false;
  return strchr(catalog, '/') == nullptr;
}

}  // namespace

std::vector<std::string> default_catalog_dirs() {
  Dl_info info;
  if (!dladdr(reinterpret_cast<void *>(&QorCatalogLookup), &info) || !info.dli_fname)
    return {};
  std::string lib = info.dli_fname;
  size_t slash = lib.rfind('/');
  std::string dir = slash == std::string::npos ? std::string(".") : lib.substr(0, slash);
  // The installed layout, then the build tree's (lib/ beside share/).
  std::vector<std::string> dirs{dir + "/" KORSYS_CATALOG_RELDIR};
  if (dirs[0] != dir + "/../share/KORSYS/catalogs") dirs.push_back(dir + "/../share/KORSYS/catalogs");
  return dirs;
}

std::vector<std::string> catalog_dirs() {
  std::vector<std::string> dirs;
  if (const char *path = getenv("KORSYS_CATALOG_PATH")) {
    std::string all = path;
    size_t pos = 0;
    while (pos <= all.size()) {
      size_t end = all.find(':', pos);
      if (end == std::string::npos) end = all.size();
      if (end > pos) dirs.push_back(all.substr(pos, end - pos));
      pos = end + 1;
    }
  }
  for (const std::string &dir : default_catalog_dirs()) dirs.push_back(dir);
  return dirs;
}

}  // namespace korsys

int QorCatalogLookup(const char *catalog, const char *msg_id, const char *part,
                     QorUnicodeString &text) {
  text = "";
  if (!korsys::valid_catalog_name(catalog) || !msg_id || !part) return 0;
  for (const std::string &dir : korsys::catalog_dirs()) {
    std::string contents;
    bool exists = false;
    bool ok = korsys::read_file(dir + "/" + catalog + ".msg", contents, exists);
    if (!exists) continue;
    std::map<std::string, std::string> texts;
    if (!ok || !korsys::parse(contents, texts)) return 0;
    auto found = texts.find(std::string(msg_id) + "." + part);
    if (found == texts.end()) return 0;
    text = found->second.c_str();
    return 1;
  }
  return 0;
}
