# Windows, 32-bit, with MinGW-w64 i686.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(GRAFTLING_MINGW_TARGET i686-w64-mingw32)
set(GRAFTLING_WINE_RUN wine32-run)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
