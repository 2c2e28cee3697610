# Cross-build for 64-bit Windows with mingw-w64; ctest runs the Windows programs under Wine.
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CVM_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CVM_MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${CVM_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${CVM_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CVM_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows binaries that need no DLLs of the compiler: the C++ runtime, libgcc and the
# threads library are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Header-only libraries of the build machine, offered to the cross-build through folders
# that hold nothing else (the machine's /usr/include would bring its C library along).
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw-w64/nlohmann_json CACHE PATH "")
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw-w64/CLI11 CACHE PATH "")

find_program(CVM_WINE NAMES wine wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(CVM_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CVM_WINE})
endif()
