# Every product is rounded before it is added and no kernel may reassociate
# a sum: no contraction into FMA, no fast-math, SSE2 arithmetic on 32-bit.
add_compile_options(-ffp-contract=off -fno-fast-math -fno-math-errno
                    -Wall -Wextra)
# The Fortran callers compare reals exactly on purpose: results are bits.
add_compile_options($<$<COMPILE_LANGUAGE:Fortran>:-Wno-compare-reals>)
set(QVK_ARCH_FLAGS "")
if(QVK_M32)
  set(QVK_ARCH_FLAGS -m32)
  add_compile_options(-m32 -msse2 -mfpmath=sse)
  add_link_options(-m32)
endif()
# Warnings are errors where the project's own checks build it (tools/test);
# a user's build with another compiler is not stopped by a new warning.
option(QVK_WERROR "Treat compiler warnings as errors" OFF)
if(QVK_WERROR)
  add_compile_options(-Werror)
endif()

# On a multiarch system the libraries of the target (i386 with -m32) sit in
# a folder that the compiler names; the peers' libraries (the reference
# BLAS/LAPACK of the oracle tests, the libraries the benchmarks compare
# with) are found there in their own subfolders, since the plain names may
# point at another implementation.
execute_process(COMMAND ${CMAKE_C_COMPILER} ${QVK_ARCH_FLAGS} -print-multiarch
                OUTPUT_VARIABLE qvk_multiarch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
set(QVK_MULTIARCH "${qvk_multiarch}" CACHE INTERNAL "")
function(qvk_find_peer var soname folder)
  # Each language enabled later sets its own guess; the compiler's answer
  # with the build's flags holds here.
  if(QVK_MULTIARCH)
    set(CMAKE_LIBRARY_ARCHITECTURE ${QVK_MULTIARCH})
  endif()
  find_library(${var} NAMES ${soname} PATH_SUFFIXES ${folder}
               DOC "${soname} from its own ${folder} folder")
endfunction()
if(QVK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
# The thread sanitizer cannot share a build with the address sanitizer.
if(QVK_TSAN)
  if(QVK_SANITIZE)
    message(FATAL_ERROR "QVK_TSAN and QVK_SANITIZE need separate builds")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Per instruction-set source files: the suffix picks the flags. Never -mfma,
# never -march=native. The plain scalar order is kept out of the
# auto-vectorizer so that it stays the readable definition.
function(qvk_isa_flags)
  foreach(f ${ARGN})
    if(f MATCHES "_avx512\\.cpp$")
      set_source_files_properties(${f} PROPERTIES COMPILE_OPTIONS
        "-mavx512f;-mavx512cd;-mavx512vl;-mavx512dq;-mavx512bw;-Wno-maybe-uninitialized")
    elseif(f MATCHES "_avx2\\.cpp$")
      set_source_files_properties(${f} PROPERTIES COMPILE_OPTIONS "-mavx2;-Wno-maybe-uninitialized")
    elseif(f MATCHES "_sse2\\.cpp$")
      set_source_files_properties(${f} PROPERTIES COMPILE_OPTIONS "-msse2")
    elseif(f MATCHES "_scalar\\.cpp$")
      set_source_files_properties(${f} PROPERTIES COMPILE_OPTIONS "-fno-tree-vectorize")
    endif()
  endforeach()
endfunction()

# Some kernels run no 32-bit programs. There the 32-bit tests run under
# user-mode emulation (qemu-i386, whose "max" model has SSE2 and AVX2 but no
# AVX-512).
if(QVK_M32 AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(probe ${CMAKE_BINARY_DIR}/m32_probe)
  file(WRITE ${probe}.c "int main(void) { return 0; }\n")
  execute_process(COMMAND ${CMAKE_C_COMPILER} -m32 ${probe}.c -o ${probe}
                  RESULT_VARIABLE rc_build OUTPUT_QUIET ERROR_QUIET)
  execute_process(COMMAND ${probe} RESULT_VARIABLE rc_run OUTPUT_QUIET ERROR_QUIET)
  if(NOT rc_run EQUAL 0)
    find_program(QVK_QEMU_I386 qemu-i386)
    if(NOT QVK_QEMU_I386)
      message(FATAL_ERROR "this kernel runs no 32-bit programs and qemu-i386 is missing")
    endif()
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QVK_QEMU_I386} -cpu max)
    message(STATUS "32-bit programs run under ${QVK_QEMU_I386}")
  endif()
endif()
