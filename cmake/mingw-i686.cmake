# Windows, 32-bit, with MinGW-w64 i686.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(GRAFTLING_MINGW_TARGET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# No emulator: this machine's kernel runs no 32-bit programs, so the 32-bit
# build is compiled and inspected but never run.
