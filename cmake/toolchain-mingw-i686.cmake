# Cross-build for 32-bit Windows with MinGW-w64 (posix threads variant).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(triple i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
