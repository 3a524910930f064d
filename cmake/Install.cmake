# Installation: the two tools, the static library with its public headers, the
# CMake package (find_package(icv) -> icv::icv), a pkg-config file, the man
# pages, and two Debian packages built by CPack (cpack -G DEB), split as Debian
# splits a library: icv (component tools) and libicv-dev (component dev).
include(${PROJECT_SOURCE_DIR}/cmake/InstallDirs.cmake)
include(CMakePackageConfigHelpers)

# The same name for projects that add icv with add_subdirectory.
add_library(icv::icv ALIAS icv)

# --- Headers ---------------------------------------------------------------
# Installed under <includedir>/icv, keeping the folders of src/: users write
# <icv/hash/hash.h>. The public headers include each other by relative path,
# so <includedir> is the only include directory a user needs.
target_include_directories(icv PUBLIC $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

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
          DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/icv/${folder}" COMPONENT dev)
endforeach()

# --- Binaries and the exported library --------------------------------------
install(TARGETS icv_writer icv_check icv_tree RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT tools)
install(TARGETS icv EXPORT icvTargets ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT dev)

# --- CMake package ------------------------------------------------------------
set(ICV_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/icv")
install(EXPORT icvTargets NAMESPACE icv:: DESTINATION "${ICV_INSTALL_CMAKEDIR}" COMPONENT dev)
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
        DESTINATION "${ICV_INSTALL_CMAKEDIR}" COMPONENT dev)

# --- pkg-config -------------------------------------------------------------
# icv.pc names the prefix it is installed under, and that is known only when
# installing (cmake --install --prefix, CPack's /usr): a script writes it then.
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(ICV_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(ICV_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
configure_file("${PROJECT_SOURCE_DIR}/cmake/icvInstallPkgConfig.cmake.in"
               "${PROJECT_BINARY_DIR}/icvInstallPkgConfig.cmake" @ONLY)
install(SCRIPT "${PROJECT_BINARY_DIR}/icvInstallPkgConfig.cmake" COMPONENT dev)

# --- Man pages and documents ------------------------------------------------
install(FILES "${PROJECT_SOURCE_DIR}/docs/icv_writer.1" "${PROJECT_SOURCE_DIR}/docs/icv_check.1"
              "${PROJECT_SOURCE_DIR}/docs/icv_tree.1" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT tools)
# The users' README (the developers' one stays in the sources) and the example
# tree that the man pages use.
install(FILES "${PROJECT_SOURCE_DIR}/docs/README.user.md" DESTINATION "${CMAKE_INSTALL_DOCDIR}"
        RENAME README.md COMPONENT tools)
install(DIRECTORY "${PROJECT_SOURCE_DIR}/examples/" DESTINATION "${CMAKE_INSTALL_DOCDIR}/examples"
        COMPONENT tools)

# --- Debian packages ----------------------------------------------------------
# cpack -G DEB in the build tree: icv_<version>_<arch>.deb and
# libicv-dev_<version>_<arch>.deb, installing under /usr.
set(ICV_PACKAGE_MAINTAINER "icv maintainers <maintainers@users.noreply.c-seed-81db1ffc.example>"
    CACHE STRING "Maintainer line of the Debian packages")

# Each package carries /usr/share/doc/<package>/copyright in the machine-readable
# format, made from LICENSE, and changelog.gz (a native package), made from
# cmake/debian/changelog. Only the packages have them: a component install
# (EXCLUDE_FROM_ALL), which CPack does and a plain cmake --install does not.
file(READ "${PROJECT_SOURCE_DIR}/LICENSE" icv_license)
if(NOT icv_license MATCHES "\nCopyright \\(c\\) ([^\n]+)\n\n(.+[^\n])\n*$")
  message(FATAL_ERROR "LICENSE: no 'Copyright (c) ...' line followed by the license text")
endif()
set(icv_copyright_holder "${CMAKE_MATCH_1}")
string(REGEX REPLACE "\n\n" "\n.\n" icv_license_text "${CMAKE_MATCH_2}")
string(REPLACE "\n" "\n " icv_license_text " ${icv_license_text}")
file(WRITE "${PROJECT_BINARY_DIR}/debian/copyright"
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
  "Upstream-Name: icv\n"
  "\n"
  "Files: *\n"
  "Copyright: ${icv_copyright_holder}\n"
  "License: BSD-2-Clause\n"
  "\n"
  "License: BSD-2-Clause\n"
  "${icv_license_text}\n")
# The latest changelog entry must be the version being built.
file(STRINGS "${PROJECT_SOURCE_DIR}/cmake/debian/changelog" icv_changelog_top LIMIT_COUNT 1)
if(NOT icv_changelog_top MATCHES "^icv \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "cmake/debian/changelog: the latest entry is not version ${PROJECT_VERSION}: "
                      "${icv_changelog_top}")
endif()
foreach(component_package IN ITEMS tools:icv dev:libicv-dev)
  string(REPLACE ":" ";" component_package "${component_package}")
  list(GET component_package 0 component)
  list(GET component_package 1 package)
  install(FILES "${PROJECT_BINARY_DIR}/debian/copyright" "${PROJECT_SOURCE_DIR}/cmake/debian/changelog"
          DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}"
          COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME icv)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "The icv authors")
set(CPACK_PACKAGE_CONTACT "${ICV_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tools dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME icv)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
string(CONCAT CPACK_DEBIAN_TOOLS_DESCRIPTION
  "write and verify file hash lists (GOST R 34.11-2012)\n"
  "icv_writer writes a list of files with their GOST R 34.11-2012 (256-bit)\n"
  "digests; icv_check later recomputes every file of such a list (GOST R\n"
  "34.11-2012, GOST R 34.11-94 or MD5) and reports what changed. Both hash\n"
  "files on every core, with AVX-512 and GFNI where the processor has them.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libicv-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
string(CONCAT CPACK_DEBIAN_DEV_DESCRIPTION
  "file hash list library (GOST R 34.11-2012) - development files\n"
  "The static library behind icv_writer and icv_check: GOST R 34.11-2012,\n"
  "GOST R 34.11-94 and MD5 digests through one interface, and the checking of\n"
  "hash lists. The package holds the headers, libicv.a, a CMake package\n"
  "(find_package(icv), target icv::icv) and a pkg-config file (icv.pc).")

# libicv is linked into the tools statically; the C++ runtime is not.
# dpkg-shlibdeps derives the exact dependencies of icv (and the sanitizer
# runtimes of an ICV_SANITIZE build); without it, name the libraries every
# build needs. libicv-dev holds no program and depends on nothing.
find_program(ICV_DPKG_SHLIBDEPS dpkg-shlibdeps)
mark_as_advanced(ICV_DPKG_SHLIBDEPS)
if(ICV_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_TOOLS_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()
configure_file("${PROJECT_SOURCE_DIR}/cmake/icvCPackPreBuild.cmake.in"
               "${PROJECT_BINARY_DIR}/icvCPackPreBuild.cmake" @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS "${PROJECT_BINARY_DIR}/icvCPackPreBuild.cmake")
# A source package (make package_source) takes the tree without build output.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/build[^/]*/" "\\.swp$" "~$")
include(CPack)
