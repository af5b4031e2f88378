# Cross-building the Windows programs on Debian with mingw-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Everything is linked statically, so each program is one self-contained .exe. Tests run under
# wine when it is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZESTREL_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${ZESTREL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZESTREL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZESTREL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZESTREL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(ZESTREL_WINE wine)
if(ZESTREL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZESTREL_WINE})
endif()
