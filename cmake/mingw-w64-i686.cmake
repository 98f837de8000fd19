# The shipped 32-bit edition (i686, win32 threads). These machines cannot
# run 32-bit code, so this configuration is compiled and checked, never run.
set(SETUP_MINGW_TRIPLE i686-w64-mingw32)
set(SETUP_MINGW_THREADS win32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
