# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix).
#
#   cmake -S . -B build-windows -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64-x86_64.cmake \
#     -DNORVANE_BUILD_GUI=OFF -DNORVANE_BUILD_BENCHMARKS=OFF
#
# Every program is linked with the static C and C++ run-times, so a single .exe runs on its
# own. Where Wine is installed, it runs the Windows programs that ctest starts.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NORVANE_MINGW_TRIPLET x86_64-w64-mingw32)
# The POSIX-threads variant gives std::thread and std::mutex; the win32 one does not.
find_program(CMAKE_C_COMPILER NAMES ${NORVANE_MINGW_TRIPLET}-gcc-posix ${NORVANE_MINGW_TRIPLET}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${NORVANE_MINGW_TRIPLET}-g++-posix ${NORVANE_MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${NORVANE_MINGW_TRIPLET}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${NORVANE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Debian installs the 64-bit loader as /usr/lib/wine/wine64 and a `wine` front end that
# picks it for 64-bit programs.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(NORVANE_WINE NAMES wine wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
  if(NORVANE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${NORVANE_WINE})
  endif()
endif()
