# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later

# Cross-compiles the Windows build from Linux with MinGW-w64:
#   cmake -S . -B <build> -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUENLORA_MINGW_TARGET x86_64-w64-mingw32)

# The POSIX thread model is the one whose standard library has std::thread and
# std::mutex; the plain names are the fallback where no variants are installed.
find_program(CMAKE_C_COMPILER NAMES ${QUENLORA_MINGW_TARGET}-gcc-posix ${QUENLORA_MINGW_TARGET}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${QUENLORA_MINGW_TARGET}-g++-posix ${QUENLORA_MINGW_TARGET}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${QUENLORA_MINGW_TARGET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUENLORA_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's own run-time libraries (libgcc, libstdc++, winpthread) are
# linked in, so that the program needs no DLLs beside it other than the
# system's (and Qt's). Plain -static pulls in only the objects that are used:
# forcing the whole winpthread archive in would bring its own version resource
# along, and Windows would show that one in the program's properties.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
