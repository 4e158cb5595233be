# Cross-build for 64-bit Windows with MinGW-w64 (posix threads variant).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
# Wine's 64-bit loader, called directly: Debian's "wine" wrapper picks the 32-bit loader whenever wine32
# is installed, and that loader cannot start on a host that does not run 32-bit x86 code.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64)
