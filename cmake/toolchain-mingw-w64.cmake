# Cross-compiles the game for 64-bit Windows with Debian's mingw-w64 compilers
# (package g++-mingw-w64-x86-64). Use with -DCMAKE_TOOLCHAIN_FILE=<this file>.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VARNHOLD_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VARNHOLD_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${VARNHOLD_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${VARNHOLD_MINGW_PREFIX}-windres)

# Headers and libraries come from the Windows side only; programs run here.
set(CMAKE_FIND_ROOT_PATH /usr/${VARNHOLD_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
