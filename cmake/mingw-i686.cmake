# Cross-compile for 32-bit Windows (the release target) with MinGW-w64 (posix thread model).
# Debian's 32-bit wine cannot be installed next to wine64, so these builds are linked, not run.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
