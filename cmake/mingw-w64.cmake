# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix thread model, which
# std::thread and std::mutex need). VERNO_WIN_PREFIX names the folder the Windows builds of Qt,
# SQLite and GoogleTest are installed in (scripts/windows makes it); programs and tests run under
# wine, finding the compiler's and Qt's DLLs through WINEPATH.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VERNO_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${VERNO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VERNO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VERNO_MINGW_TRIPLE}-windres)

# Try-compiles see the variables too, so the prefix reaches Qt's own checks.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VERNO_WIN_PREFIX VERNO_WINEPREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${VERNO_MINGW_TRIPLE})
if(VERNO_WIN_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH ${VERNO_WIN_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtime DLLs of GCC (libstdc++, libgcc_s) and of winpthreads, then Qt's.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
  OUTPUT_VARIABLE _verno_libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(_verno_gcc_dlls "${_verno_libstdcxx}" DIRECTORY)
set(_verno_dlls "${_verno_gcc_dlls}:/usr/${VERNO_MINGW_TRIPLE}/lib")
if(VERNO_WIN_PREFIX)
  string(APPEND _verno_dlls ":${VERNO_WIN_PREFIX}/bin")
endif()
set(_verno_wine_env "VERNO_WINE_DLLS=${_verno_dlls}")
if(VERNO_WINEPREFIX)
  list(APPEND _verno_wine_env WINEPREFIX=${VERNO_WINEPREFIX})
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env ${_verno_wine_env} ${CMAKE_CURRENT_LIST_DIR}/wine-run)
