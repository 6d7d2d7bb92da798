// Where the message catalogs are looked for.
#ifndef KORSYS_SRC_CATALOG_H
#define KORSYS_SRC_CATALOG_H

#include <string>
#include <vector>

namespace korsys {
// share/KORSYS/catalogs beside the directory of libKORSYS.so.
std::string default_catalog_dir();
// The directories of KORSYS_CATALOG_PATH, then the default one.
std::vector<std::string> catalog_dirs();
}  // namespace korsys

#endif
