// Message catalogs: one text file per catalog, "<catalog>.msg", looked up
// in the directories of KORSYS_CATALOG_PATH (colon-separated) and then in
// share/KORSYS/catalogs of the prefix the library was installed into (or
// of the build tree), found from where the library itself lies. The
// first directory that has the file decides; a file that cannot be read,
// is not a regular file or is larger than 16 MiB counts as a catalog
// without texts. A malformed line, or a key given again, is skipped and
// noted on the channel "KORSYSCatalog" (standard error); a UTF-8
// byte-order mark at the start is skipped. A catalog is parsed once and
// kept until its file changes.
//
// Line format:   <identifier>.<part> = <text>
//   part: Request, Diagnostic or Advice; blank lines and lines starting
//   with # are skipped; blanks around the key and the text are dropped.
//   In the text, \n is a line feed, \t a tab, \\ a backslash, \s a blank
//   (to keep one at either end), and {1} .. {25} are the placeholders.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "KORSYS/QorError.h"
#include "KORSYS/QorSystem.h"
#include "KORSYS/QorTrace.h"
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

// Catalogs larger than this are refused (a catalog of the library holds a
// few kilobytes; this guards against a link to a device or a runaway file).
const off_t kMaxCatalogBytes = 16 << 20;
// Malformed entries reported per reading of one catalog.
const int kMaxNotes = 20;

// Notes about catalogs: malformed entries that were skipped. Never
// destroyed, as lookups may run while the process exits.
QorTrace &notes() {
  static QorTrace *channel = new QorTrace("KORSYSCatalog", "Message catalog notes", 0, "STDERR");
  return *channel;
}

struct Parsed {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  struct timespec modified = {0, 0};
  std::map<std::string, std::string> texts;
};

bool same_file(const Parsed &p, const struct stat &st) {
  return p.device == st.st_dev && p.inode == st.st_ino && p.size == st.st_size &&
         p.modified.tv_sec == st.st_mtim.tv_sec && p.modified.tv_nsec == st.st_mtim.tv_nsec;
}

// Why a line is not an entry, or null when it is one (key and text set).
const char *parse_line(const std::string &line, std::string &key, std::string &text) {
  if (line.find('\0') != std::string::npos) return "a zero byte";
  size_t eq = line.find('=');
  if (eq == std::string::npos) return "no '='";
  key = trim(line.substr(0, eq));
  size_t dot = key.rfind('.');
  if (dot == std::string::npos) return "no part after the identifier";
  std::string id = key.substr(0, dot), part = key.substr(dot + 1);
  if (!valid_identifier(id)) return "not an identifier";
  if (part != "Request" && part != "Diagnostic" && part != "Advice") return "unknown part";
  if (!decode(trim(line.substr(eq + 1)), text)) return "bad escape or placeholder";
  return nullptr;
}

// Parses a whole catalog. A malformed entry, or a key given again, is
// skipped and noted; the rest of the catalog stays usable.
void parse(const std::string &path, const std::string &contents,
           std::map<std::string, std::string> &texts) {
  size_t pos = 0;
  if (contents.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;  // UTF-8 byte-order mark
  int line_number = 0, skipped = 0;
  while (pos < contents.size()) {
    size_t end = contents.find('\n', pos);
    if (end == std::string::npos) end = contents.size();
    std::string line = contents.substr(pos, end - pos);
    pos = end + 1;
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string t = trim(line);
    if (t.empty() || t[0] == '#') continue;
    std::string key, text;
    const char *why = parse_line(line, key, text);
    if (!why && !texts.emplace(key, text).second) why = "the key was given before";
    if (!why) continue;
    if (++skipped <= kMaxNotes)
      notes().TraPrint(2, "catalog %s, line %d: %s; the entry is skipped\n", path.c_str(),
                       line_number, why);
  }
  if (skipped > kMaxNotes)
    notes().TraPrint(2, "catalog %s: %d more malformed entries skipped\n", path.c_str(),
                     skipped - kMaxNotes);
}

enum class Found { None, Unusable, Texts };

// The parsed catalog at path, read again only when the file has changed
// (device, inode, size or modification time). Only regular files up to
// kMaxCatalogBytes are read, and the open never blocks (a FIFO of that
// name is refused, not waited on). Called with the cache's lock held.
Found load(const std::string &path, std::map<std::string, Parsed> &cache, const Parsed *&out) {
  if (QorFaultPoint()) return Found::Unusable;  // as a failed open would be
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return (errno == ENOENT || errno == ENOTDIR) ? Found::None : Found::Unusable;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxCatalogBytes) {
    close(fd);
    return Found::Unusable;
  }
  auto cached = cache.find(path);
  if (cached != cache.end() && same_file(cached->second, st)) {
    close(fd);
    out = &cached->second;
    return Found::Texts;
  }
  std::string contents;
  char chunk[8192];
  bool ok = true;
  for (;;) {
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    contents.append(chunk, static_cast<size_t>(n));
    if (contents.size() > static_cast<size_t>(kMaxCatalogBytes)) ok = false;  // grew meanwhile
    if (!ok) break;
  }
  close(fd);
  if (!ok) return Found::Unusable;
  Parsed fresh;
  fresh.device = st.st_dev;
  fresh.inode = st.st_ino;
  fresh.size = st.st_size;
  fresh.modified = st.st_mtim;
  parse(path, contents, fresh.texts);
  Parsed &slot = cache[path];
  slot = std::move(fresh);
  out = &slot;
  return Found::Texts;
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
  // One cache for the process, never destroyed, guarded by its lock.
  static std::mutex *lock = new std::mutex;
  static auto *cache = new std::map<std::string, korsys::Parsed>;
  try {
    std::lock_guard<std::mutex> hold(*lock);
    for (const std::string &dir : korsys::catalog_dirs()) {
      const korsys::Parsed *parsed = nullptr;
      korsys::Found found = korsys::load(dir + "/" + catalog + ".msg", *cache, parsed);
      if (found == korsys::Found::None) continue;
      if (found == korsys::Found::Unusable) return 0;
      auto entry = parsed->texts.find(std::string(msg_id) + "." + part);
      if (entry == parsed->texts.end()) return 0;
      text = entry->second.c_str();
      return 1;
    }
  } catch (const std::bad_alloc &) {
    text = "";
  }
  return 0;
}
