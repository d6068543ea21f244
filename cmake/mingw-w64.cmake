# Cross-build for 64-bit Windows with the MinGW-w64 compilers; the test
# programs run under wine when it is installed.
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VEK_MINGW_PREFIX x86_64-w64-mingw32)

# The posix threads variant brings std::thread and std::mutex.
find_program(CMAKE_CXX_COMPILER NAMES ${VEK_MINGW_PREFIX}-g++-posix ${VEK_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${VEK_MINGW_PREFIX}-gcc-posix ${VEK_MINGW_PREFIX}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${VEK_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VEK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: no MinGW runtime DLLs to ship beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(VEK_WINE NAMES wine64 wine)
if(VEK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VEK_WINE})
endif()
