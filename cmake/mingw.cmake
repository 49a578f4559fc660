# Cross-build for Windows with MinGW-w64's posix-thread compilers; the
# toolchain file of each architecture sets CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)
set(qp_triple ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)

set(CMAKE_C_COMPILER ${qp_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${qp_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${qp_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${qp_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine.
find_program(WINE_EXECUTABLE wine)
if(WINE_EXECUTABLE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_EXECUTABLE})
endif()
