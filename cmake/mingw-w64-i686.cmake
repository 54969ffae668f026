# Cross-compiles the 32-bit Windows program and simulated libraries with MinGW-w64. The program's
# bitness must match the vendor library's. Debian's Wine here runs 64-bit programs only, so this
# build's unit tests are built but not run; the export table of its libraries is checked instead.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TORNAK_MINGW_TRIPLET i686-w64-mingw32)
set(TORNAK_MINGW_NO_EMULATOR ON)
include(${CMAKE_CURRENT_LIST_DIR}/MinGWToolchain.cmake)
