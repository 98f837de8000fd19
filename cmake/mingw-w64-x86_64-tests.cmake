# The suites in a 64-bit build (x86_64, posix threads, for GoogleTest),
# run under wine64: where this machine runs no 32-bit code, they hold the
# Win32 implementations to their contract in place of the i686 suites of
# preset win32.
set(SETUP_MINGW_TRIPLE x86_64-w64-mingw32)
set(SETUP_MINGW_THREADS posix)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
