# Cross-compiles the 32-bit Windows program, its simulated libraries and its tests with MinGW-w64;
# ctest runs them under Wine's 32-bit half. The program's bitness must match the vendor library's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TORNAK_MINGW_TRIPLET i686-w64-mingw32)
# A machine that does not run 32-bit code skips these tests rather than failing them.
set(TORNAK_WINE_RUN_OPTIONS --32-bit)
include(${CMAKE_CURRENT_LIST_DIR}/MinGWToolchain.cmake)
