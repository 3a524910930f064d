# Install folders: those of GNUInstallDirs, except that libraries, the CMake
# package and the pkg-config file go to lib/<multiarch triplet> under every
# prefix where the compiler names one (Debian and its derivatives), as the
# Debian packages need them; the linker, pkg-config and find_package search
# there under /usr/local too. -DCMAKE_INSTALL_LIBDIR=... still decides.
if(CMAKE_LIBRARY_ARCHITECTURE AND NOT DEFINED CMAKE_INSTALL_LIBDIR)
  set(CMAKE_INSTALL_LIBDIR "lib/${CMAKE_LIBRARY_ARCHITECTURE}" CACHE PATH
      "Object code libraries (lib/<multiarch triplet> where the compiler names one)")
endif()
include(GNUInstallDirs)
