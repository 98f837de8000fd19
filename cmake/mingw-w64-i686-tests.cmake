# 64-bit Windows with the tests (posix threads, for GoogleTest); the test
# executables run under wine64.
set(SETUP_MINGW_TRIPLE x86_64-w64-mingw32)
set(SETUP_MINGW_THREADS posix)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
