# CMake toolchain file: cross-compile Quorvel.exe for 64-bit Windows on Debian with MinGW-w64
# (the posix-thread compilers) and a static Qt 5 built by tools/build-qt5-mingw.sh.
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw64-qt5.cmake
# Another Qt location: -DQUORVEL_QT_MINGW_PREFIX=/path (default /opt/qt5-mingw).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUORVEL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER /usr/bin/${QUORVEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/${QUORVEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER /usr/bin/${QUORVEL_MINGW_TRIPLE}-windres)

if(NOT QUORVEL_QT_MINGW_PREFIX)
    set(QUORVEL_QT_MINGW_PREFIX /opt/qt5-mingw)
endif()
# Try-compile projects see the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUORVEL_QT_MINGW_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${QUORVEL_MINGW_TRIPLE} ${QUORVEL_QT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_PREFIX_PATH ${QUORVEL_QT_MINGW_PREFIX})
# Static C and C++ runtimes, so the executable needs only Windows' own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
