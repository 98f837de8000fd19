# The shipped 32-bit edition (i686, win32 threads). Preset win32 builds it
# as a sub-build of the tested i686 build (SETUP_SHIPPED_TOOLCHAIN), whose
# end-to-end scenarios run it under Wine's WoW64.
set(SETUP_MINGW_TRIPLE i686-w64-mingw32)
set(SETUP_MINGW_THREADS win32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
