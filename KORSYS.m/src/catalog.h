// Where the message catalogs are looked for.
#ifndef KORSYS_SRC_CATALOG_H
#define KORSYS_SRC_CATALOG_H

#include <string>
#include <vector>

namespace korsys {
// share/KORSYS/catalogs of the installed layout, then of the build tree,
// both relative to the directory of libKORSYS.so.
std::vector<std::string> default_catalog_dirs();
// The directories of KORSYS_CATALOG_PATH, then the default one.
std::vector<std::string> catalog_dirs();
}  // namespace korsys

#endif
