# The header-only library of the build machine; any version asked for is accepted.
set(PACKAGE_VERSION 2)
set(PACKAGE_VERSION_COMPATIBLE TRUE)
