# METIS 5.1 for the nested dissection ordering (kernels/sparse/nested.cpp).
# Optional: without it the library still builds, QVK_HAVE_METIS is not
# defined and the ordering reports QVK_SPARSE_UNAVAILABLE.
#
# Sets QVK_METIS_FOUND, QVK_METIS_INCLUDE_DIR and QVK_METIS_LIBRARY (the
# library of the build's architecture, by its full path). The 32-bit build
# takes the i386 run-time library libmetis.so.5: Debian's libmetis-dev of the
# two architectures cannot be installed side by side, so there is no i386
# libmetis.so; the one metis.h serves both builds as long as the library
# links with it (checked below with the build's flags).
option(QVK_WITH_METIS "Use METIS for the nested dissection ordering" ON)
set(QVK_METIS_FOUND OFF)
if(QVK_WITH_METIS)
  find_path(QVK_METIS_INCLUDE_DIR metis.h PATH_SUFFIXES metis DOC "METIS header folder")
  # As for the peers (QvkFlags.cmake): the target's multiarch folder first.
  function(qvk_find_metis_library)
    if(QVK_MULTIARCH)
      set(CMAKE_LIBRARY_ARCHITECTURE ${QVK_MULTIARCH})
    endif()
    find_library(QVK_METIS_LIBRARY NAMES metis libmetis.so.5 DOC "METIS library of this build")
  endfunction()
  qvk_find_metis_library()
  if(QVK_METIS_INCLUDE_DIR AND QVK_METIS_LIBRARY)
    # A library of another architecture, or a header that does not match
    # it, is no METIS for this build: a program must compile and link.
    set(qvk_metis_key "${QVK_METIS_INCLUDE_DIR};${QVK_METIS_LIBRARY};${QVK_ARCH_FLAGS}")
    if(NOT "${QVK_METIS_CHECKED}" STREQUAL "${qvk_metis_key}")
      unset(QVK_METIS_LINKS CACHE)
    endif()
    include(CheckCSourceCompiles)
    include(CMakePushCheckState)
    cmake_push_check_state(RESET)
    string(REPLACE ";" " " CMAKE_REQUIRED_FLAGS "${QVK_ARCH_FLAGS}")
    set(CMAKE_REQUIRED_INCLUDES ${QVK_METIS_INCLUDE_DIR})
    set(CMAKE_REQUIRED_LIBRARIES ${QVK_METIS_LIBRARY})
    set(CMAKE_REQUIRED_QUIET ON)
    check_c_source_compiles([[
#include <metis.h>
#if !defined(METIS_VER_MAJOR) || METIS_VER_MAJOR != 5
#error "METIS 5 expected"
#endif
int main(void) {
  idx_t options[METIS_NOPTIONS], n = 1, xadj[2] = {0, 0}, adj[1] = {0}, perm[1], iperm[1];
  METIS_SetDefaultOptions(options);
  return METIS_NodeND(&n, xadj, adj, 0, options, perm, iperm) == METIS_OK ? 0 : 1;
}
]] QVK_METIS_LINKS)
    cmake_pop_check_state()
    set(QVK_METIS_CHECKED "${qvk_metis_key}" CACHE INTERNAL "")
    if(QVK_METIS_LINKS)
      set(QVK_METIS_FOUND ON)
    endif()
  endif()
  if(QVK_METIS_FOUND)
    message(STATUS "METIS: found (${QVK_METIS_LIBRARY}), nested dissection ordering available")
  else()
    message(STATUS "METIS: not found (metis.h: ${QVK_METIS_INCLUDE_DIR}, library: ${QVK_METIS_LIBRARY}); "
                   "no nested dissection ordering")
  endif()
else()
  message(STATUS "METIS: off (QVK_WITH_METIS=OFF), no nested dissection ordering")
endif()
# The package rules (QvkPackage.cmake, at the top level) declare the
# run-time dependency.
set(QVK_METIS_USED ${QVK_METIS_FOUND} CACHE INTERNAL "METIS linked into the library")
