# Cross-builds the Windows game on Debian with MinGW-w64 (g++-mingw-w64-x86-64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLFANE_MINGW_PREFIX x86_64-w64-mingw32)
find_program(QUILLFANE_MINGW_CXX ${QUILLFANE_MINGW_PREFIX}-g++-posix)
if(NOT QUILLFANE_MINGW_CXX)
  message(FATAL_ERROR "No MinGW-w64 compiler (${QUILLFANE_MINGW_PREFIX}-g++-posix): install Debian's "
                      "g++-mingw-w64-x86-64, or run scripts/check-windows.sh as root, which does")
endif()
# The posix thread model: GoogleTest needs std::mutex, which the win32 model lacks in g++ 12.
set(CMAKE_C_COMPILER ${QUILLFANE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLFANE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLFANE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLFANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
