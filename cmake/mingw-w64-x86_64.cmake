# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DMERRIVAN_GUI=OFF
# The posix thread variant, because GoogleTest uses std::mutex. Everything is
# linked statically, so the executables need no DLLs beside them; the tests run
# under wine (tools/test_windows.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MERRIVAN_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MERRIVAN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MERRIVAN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MERRIVAN_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MERRIVAN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest and GoogleTest's test discovery start the .exe files through wine.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(MERRIVAN_WINE NAMES wine64 wine PATHS /usr/lib/wine)
  if(MERRIVAN_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${MERRIVAN_WINE})
  endif()
endif()
