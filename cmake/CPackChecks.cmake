# SPDX-License-Identifier: MIT
# Read by cpack before it makes a package. Without dpkg-shlibdeps (Debian
# package dpkg-dev) CPack makes a .deb with no Depends field and only warns:
# such a package installs where the program cannot run, so refuse to make it.
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(REELPORT_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(NOT REELPORT_DPKG_SHLIBDEPS)
    message(FATAL_ERROR "cpack -G DEB needs dpkg-shlibdeps to fill in the package's Depends "
                        "(Debian: sudo apt-get install dpkg-dev)")
  endif()
endif()
