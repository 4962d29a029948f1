# Cross-compiling for Windows with Debian's mingw-w64 (the posix thread model,
# which std::thread needs). Included by the per-architecture toolchain files,
# which set MODEM_MINGW_TRIPLET first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)  # Windows 7

set(CMAKE_C_COMPILER ${MODEM_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MODEM_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MODEM_MINGW_TRIPLET}-windres)

# Libraries and packages come from the mingw tree only, never from the host's
# /usr; the header-only libraries the core uses are brought in by windows.cmake.
set(CMAKE_FIND_ROOT_PATH /usr/${MODEM_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
