# The header-only library of the build machine; its major version is what callers ask for.
set(PACKAGE_VERSION 3)
if(PACKAGE_FIND_VERSION_MAJOR STREQUAL "" OR PACKAGE_FIND_VERSION_MAJOR EQUAL 3)
  set(PACKAGE_VERSION_COMPATIBLE TRUE)
endif()
