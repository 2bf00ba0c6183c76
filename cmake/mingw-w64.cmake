# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (posix threads, which
# std::thread needs). Usage:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DwxWidgets_CONFIG_EXECUTABLE=<prefix from scripts/build-wx-msw>/bin/wx-config
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
# The cross wx lives outside that tree; FindwxWidgets looks up each of its
# libraries, so its prefix must be a root too.
if(wxWidgets_CONFIG_EXECUTABLE)
    get_filename_component(_vorlix_wx_bin "${wxWidgets_CONFIG_EXECUTABLE}" DIRECTORY)
    get_filename_component(_vorlix_wx_prefix "${_vorlix_wx_bin}" DIRECTORY)
    list(APPEND CMAKE_FIND_ROOT_PATH "${_vorlix_wx_prefix}")
endif()
# Host tools (wx-config is a shell script) from the build machine, everything
# linked from the target tree.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Fully static: libgcc, libstdc++, winpthread and zlib go into the .exe, so it
# runs (also under Wine) without DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The wx built by scripts/build-wx-msw is static only.
set(wxWidgets_USE_STATIC ON CACHE BOOL "Link wxWidgets statically")
