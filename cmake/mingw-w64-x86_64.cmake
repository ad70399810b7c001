# Cross-compiling for 64-bit Windows with the MinGW-w64 compilers of the build
# machine's distribution. The runtime is linked in statically so the programs
# need no DLL but each other's and the system's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PLIVET_MINGW_PREFIX x86_64-w64-mingw32)

# The win32 threading flavour needs no threads DLL; the plain name is whatever
# the distribution's alternatives point at.
find_program(PLIVET_MINGW_CXX NAMES ${PLIVET_MINGW_PREFIX}-g++-win32
                                    ${PLIVET_MINGW_PREFIX}-g++ REQUIRED)
find_program(PLIVET_MINGW_CC NAMES ${PLIVET_MINGW_PREFIX}-gcc-win32
                                   ${PLIVET_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${PLIVET_MINGW_CXX})
if(PLIVET_MINGW_CC)
  set(CMAKE_C_COMPILER ${PLIVET_MINGW_CC})
endif()
set(CMAKE_RC_COMPILER ${PLIVET_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PLIVET_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Programs the build runs are run under wine when it is there.
find_program(PLIVET_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(PLIVET_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PLIVET_WINE})
endif()
