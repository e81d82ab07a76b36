# Read by cpack before it makes a package. Without dpkg-shlibdeps CPack makes
# the Debian package all the same, from the declared dependencies only
# ("Using only user-provided dependencies"), and misses every library the
# binaries link: stop instead.
cmake_policy(SET CMP0109 NEW)  # a program found must be one that can run
if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_DEBIAN_PACKAGE_SHLIBDEPS)
  find_program(KELVORA_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(NOT KELVORA_DPKG_SHLIBDEPS)
    message(FATAL_ERROR "dpkg-shlibdeps is not installed (package dpkg-dev): the package's library "
                        "dependencies cannot be computed, so no package is made.")
  endif()
  find_program(KELVORA_FILE file)
  if(NOT KELVORA_FILE)
    message(FATAL_ERROR "file is not installed (package file): CPack cannot find the binaries whose "
                        "library dependencies the package needs, so no package is made.")
  endif()
endif()
