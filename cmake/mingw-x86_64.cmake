# Windows, 64-bit, with MinGW-w64 x86_64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(GRAFTLING_MINGW_TARGET x86_64-w64-mingw32)
set(GRAFTLING_WINE_RUN wine64-run)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
