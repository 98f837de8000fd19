# MinGW-w64 cross compilation, shared by the toolchain files beside it,
# which set SETUP_MINGW_TRIPLE (x86_64-w64-mingw32 or i686-w64-mingw32)
# and SETUP_MINGW_THREADS before including this one:
#   win32  the shipped programs: no libwinpthread, whose GetTickCount64
#          import keeps a program from starting on Windows XP;
#   posix  the test programs: GoogleTest needs std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${SETUP_MINGW_TRIPLE}-gcc-${SETUP_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${SETUP_MINGW_TRIPLE}-g++-${SETUP_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${SETUP_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${SETUP_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
