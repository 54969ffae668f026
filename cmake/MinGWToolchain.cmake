# Shared by the MinGW-w64 toolchain files; TORNAK_MINGW_TRIPLET names the target.
find_program(TORNAK_MINGW_CXX ${TORNAK_MINGW_TRIPLET}-g++-posix)
find_program(TORNAK_MINGW_CC ${TORNAK_MINGW_TRIPLET}-gcc-posix)
find_program(TORNAK_MINGW_WINDRES ${TORNAK_MINGW_TRIPLET}-windres)
if(NOT TORNAK_MINGW_CXX OR NOT TORNAK_MINGW_CC OR NOT TORNAK_MINGW_WINDRES)
  message(FATAL_ERROR "${TORNAK_MINGW_TRIPLET}-g++-posix, -gcc-posix or -windres not found: run scripts/setup.sh")
endif()
set(CMAKE_C_COMPILER ${TORNAK_MINGW_CC})
set(CMAKE_CXX_COMPILER ${TORNAK_MINGW_CXX})
set(CMAKE_RC_COMPILER ${TORNAK_MINGW_WINDRES})
set(CMAKE_FIND_ROOT_PATH /usr/${TORNAK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# ctest runs the Windows tests under Wine, in the project's own prefix and display; one prefix
# runs programs of both bitnesses.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
