# What a user of the installed library gets: both shared libraries with
# their ABI version, the public headers, the message catalogs beside the
# libraries (see KORSYS.m), a CMake package, pkg-config files, the Fortran
# interface module and the documentation; and the Debian packages that cpack
# makes of it. Everything here is relative to the install prefix, so an
# installed tree may be moved as a whole.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QVK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/QorVARDMathKernel)
set(QVK_FORTRAN_MODULE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/QorVARDMathKernel/fortran)

# The Fortran interface module: interfaces only, so a caller needs the .mod
# file (and may compile the installed source with another compiler) but no
# object code of it.
if(CMAKE_Fortran_COMPILER)
  add_library(qvk_fortran_module OBJECT
              ${PROJECT_SOURCE_DIR}/QorVARDMathKernel.m/fortran/qorvardmathkernel.f90)
  set_target_properties(qvk_fortran_module PROPERTIES
    Fortran_MODULE_DIRECTORY ${PROJECT_BINARY_DIR}/fortran_modules)
  target_compile_options(qvk_fortran_module PRIVATE -std=f2018 -Wall -Wextra)
  add_dependencies(QorVARDMathKernel qvk_fortran_module)
  target_include_directories(QorVARDMathKernel PUBLIC
    $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/fortran_modules>
    $<INSTALL_INTERFACE:${QVK_FORTRAN_MODULE_DIR}>)
  install(FILES ${PROJECT_BINARY_DIR}/fortran_modules/qorvardmathkernel.mod
                ${PROJECT_SOURCE_DIR}/QorVARDMathKernel.m/fortran/qorvardmathkernel.f90
          DESTINATION ${QVK_FORTRAN_MODULE_DIR} COMPONENT dev)
  set(QVK_PC_FFLAGS " -I\${includedir}/QorVARDMathKernel/fortran")
else()
  set(QVK_PC_FFLAGS "")
endif()

# CMake package: find_package(QorVARDMathKernel CONFIG) gives the targets
# QorVARDMathKernel::QorVARDMathKernel and QorVARDMathKernel::KORSYS (the
# same names as the ALIAS targets of a source-tree build).
install(EXPORT QorVARDMathKernelTargets NAMESPACE QorVARDMathKernel::
        DESTINATION ${QVK_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QorVARDMathKernelConfig.cmake.in
  ${PROJECT_BINARY_DIR}/QorVARDMathKernelConfig.cmake INSTALL_DESTINATION ${QVK_CMAKE_DIR})
# The version file also refuses a 64-bit install to a 32-bit caller and
# the reverse. The 32-bit build passes -m32 as a compile option, so CMake's
# own probe of the compiler found 8-byte pointers: the file is told 4.
if(QVK_M32)
  set(qvk_sizeof_void_p ${CMAKE_SIZEOF_VOID_P})
  set(CMAKE_SIZEOF_VOID_P 4)
endif()
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QorVARDMathKernelConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
if(QVK_M32)
  set(CMAKE_SIZEOF_VOID_P ${qvk_sizeof_void_p})
endif()
install(FILES ${PROJECT_BINARY_DIR}/QorVARDMathKernelConfig.cmake
              ${PROJECT_BINARY_DIR}/QorVARDMathKernelConfigVersion.cmake
        DESTINATION ${QVK_CMAKE_DIR} COMPONENT dev)

# pkg-config: the prefix is found from the .pc file's own place.
file(RELATIVE_PATH QVK_PC_PREFIX_REL ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig
     ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" QVK_PC_PREFIX_REL "${QVK_PC_PREFIX_REL}")
foreach(pc QorVARDMathKernel KORSYS)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/${pc}.pc.in ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/BENCHMARKS.md
              ${PROJECT_SOURCE_DIR}/CHANGELOG.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT dev)

# Debian packages (cpack -G DEB in the build directory): the run-time
# libraries with their catalogs, and the development files, which depend
# on the run-time package of the same version.
set(CPACK_PACKAGE_NAME qorvardmathkernel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Numerical and infrastructure kernel of a finite-element structural solver")
set(CPACK_PACKAGE_CONTACT "QorVARDMathKernel maintainers <maintainers@qorvardmathkernel.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_COMPONENTS_ALL runtime dev)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libqorvardmathkernel${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libqorvardmathkernel-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# shlibs file and the ldconfig trigger for the run-time package.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
find_program(QVK_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(QVK_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
  # METIS, linked privately (dpkg-shlibdeps finds it by itself).
  if(QVK_METIS_USED)
    string(APPEND CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS ", libmetis5")
  endif()
endif()
if(QVK_M32)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE i386)
endif()
include(CPack)
