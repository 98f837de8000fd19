# The shipped 64-bit edition (x86_64, win32 threads). It runs under wine64
# for its end-to-end scenarios; the GoogleTest suites need posix threads
# and are not built here.
set(SETUP_MINGW_TRIPLE x86_64-w64-mingw32)
set(SETUP_MINGW_THREADS win32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
