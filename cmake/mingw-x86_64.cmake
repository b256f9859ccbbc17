# Windows, 64-bit, with MinGW-w64 x86_64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(GRAFTLING_MINGW_TARGET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Tests and test discovery run the Windows programs under Wine, in a Wine
# prefix of the build tree's own.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine64-run;--prefix=${CMAKE_BINARY_DIR}/wine")
