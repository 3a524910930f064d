# Installation: the two tools, the static library with its public headers, the
# CMake package (find_package(icv) -> icv::icv), a pkg-config file, the man
# pages, and a Debian package built by CPack (cpack -G DEB).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The same name for projects that add icv with add_subdirectory.
add_library(icv::icv ALIAS icv)

# --- Headers ---------------------------------------------------------------
# Installed under <includedir>/icv, keeping the folders of src/. Users write
# <icv/hash/hash.h>; the headers include each other as "algorithms/_md5.h",
# so <includedir>/icv is an include directory as well.
set(ICV_INSTALL_HEADERDIR "${CMAKE_INSTALL_INCLUDEDIR}/icv")
target_include_directories(icv PUBLIC
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
  $<INSTALL_INTERFACE:${ICV_INSTALL_HEADERDIR}>)

# The public headers and every header they include, nothing internal.
set(ICV_PUBLIC_HEADERS
  hash/hash.h
  checker/hashfile_checker.h
  util/qvstr.h
  algorithms/_md5.h
  algorithms/block_buffer.h
  algorithms/digest_bytes.h
  algorithms/gost3411.h
  algorithms/gost34_11_2012.h
  algorithms/gost34_11_2012_i.h
)
foreach(header IN LISTS ICV_PUBLIC_HEADERS)
  cmake_path(GET header PARENT_PATH folder)
  install(FILES "${PROJECT_SOURCE_DIR}/src/${header}"
          DESTINATION "${ICV_INSTALL_HEADERDIR}/${folder}")
endforeach()

# --- Binaries and the exported library --------------------------------------
install(TARGETS icv_writer icv_check RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(TARGETS icv EXPORT icvTargets ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}")

# --- CMake package ------------------------------------------------------------
set(ICV_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/icv")
install(EXPORT icvTargets NAMESPACE icv:: DESTINATION "${ICV_INSTALL_CMAKEDIR}")
configure_package_config_file(
  "${PROJECT_SOURCE_DIR}/cmake/icvConfig.cmake.in"
  "${PROJECT_BINARY_DIR}/icvConfig.cmake"
  INSTALL_DESTINATION "${ICV_INSTALL_CMAKEDIR}")
# Before 1.0 a minor version may change the interface.
write_basic_package_version_file(
  "${PROJECT_BINARY_DIR}/icvConfigVersion.cmake"
  VERSION "${PROJECT_VERSION}"
  COMPATIBILITY SameMinorVersion)
install(FILES "${PROJECT_BINARY_DIR}/icvConfig.cmake" "${PROJECT_BINARY_DIR}/icvConfigVersion.cmake"
        DESTINATION "${ICV_INSTALL_CMAKEDIR}")

# --- pkg-config -------------------------------------------------------------
# icv.pc names the prefix it is installed under, and that is known only when
# installing (cmake --install --prefix, CPack's /usr): a script writes it then.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(ICV_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
else()
  set(ICV_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(ICV_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
else()
  set(ICV_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file("${PROJECT_SOURCE_DIR}/cmake/icvInstallPkgConfig.cmake.in"
               "${PROJECT_BINARY_DIR}/icvInstallPkgConfig.cmake" @ONLY)
install(SCRIPT "${PROJECT_BINARY_DIR}/icvInstallPkgConfig.cmake")

# --- Man pages --------------------------------------------------------------
install(FILES "${PROJECT_SOURCE_DIR}/docs/icv_writer.1" "${PROJECT_SOURCE_DIR}/docs/icv_check.1"
        DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${PROJECT_SOURCE_DIR}/README.md" DESTINATION "${CMAKE_INSTALL_DOCDIR}")

# --- Debian package -----------------------------------------------------------
# cpack -G DEB in the build tree: a package "icv" that installs under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME icv)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "icv maintainers")
set(ICV_PACKAGE_MAINTAINER "icv maintainers <maintainers@users.noreply.c-seed-81db1ffc.example>"
    CACHE STRING "Maintainer line of the Debian package")
set(CPACK_PACKAGE_CONTACT "${ICV_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "write and verify file integrity check values")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "icv_writer writes a hash list of files with their GOST R 34.11-2012 (256-bit)\n"
  "digests; icv_check later recomputes every file of such a list (GOST R\n"
  "34.11-2012, GOST R 34.11-94 or MD5) and reports what changed. The package\n"
  "also holds the static library libicv with its headers, CMake package and\n"
  "pkg-config file.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# libicv is linked in statically; the C++ runtime is not. dpkg-shlibdeps
# derives the exact dependencies (and the sanitizer runtimes of an
# ICV_SANITIZE build); without it, name the libraries every build needs.
find_program(ICV_DPKG_SHLIBDEPS dpkg-shlibdeps)
mark_as_advanced(ICV_DPKG_SHLIBDEPS)
if(ICV_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()
configure_file("${PROJECT_SOURCE_DIR}/cmake/icvCPackPreBuild.cmake.in"
               "${PROJECT_BINARY_DIR}/icvCPackPreBuild.cmake" @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS "${PROJECT_BINARY_DIR}/icvCPackPreBuild.cmake")
# A source package (make package_source) takes the tree without build output.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/build[^/]*/" "\\.swp$" "~$")
include(CPack)
