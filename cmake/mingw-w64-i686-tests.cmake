# The tested 32-bit build (i686, posix threads, for GoogleTest): the test
# executables run under Wine's WoW64, a 32-bit process in a 64-bit prefix,
# as on 64-bit Windows. The shipped 32-bit SetUp.exe beside them is built
# with cmake/mingw-w64-i686.cmake (SETUP_SHIPPED_TOOLCHAIN).
set(SETUP_MINGW_TRIPLE i686-w64-mingw32)
set(SETUP_MINGW_THREADS posix)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
