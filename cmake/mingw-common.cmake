# Cross-compiles for Windows with Debian's MinGW-w64 toolchain whose target
# triplet the including file sets in GRAFTLING_MINGW_TARGET. The -posix
# compilers give std::thread and friends through winpthreads.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${GRAFTLING_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GRAFTLING_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${GRAFTLING_MINGW_TARGET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${GRAFTLING_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests run the Windows programs under Wine of the target's bitness (the
# including file names its script in GRAFTLING_WINE_RUN), in a Wine prefix of
# the build tree's own.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/${GRAFTLING_WINE_RUN};--prefix=${CMAKE_BINARY_DIR}/wine")
