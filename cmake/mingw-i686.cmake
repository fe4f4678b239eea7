# Cross build for 32-bit Windows with Debian's mingw-w64
# (g++-mingw-w64-i686). The posix-thread compilers: the win32-thread ones
# of GCC 12 have no std::thread or std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KELVO_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KELVO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELVO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KELVO_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KELVO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# SSE2 arithmetic instead of the x87 unit and its 80-bit intermediates: the
# same results as every 64-bit build.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
# Nothing but Windows' own DLLs: libgcc, libstdc++ and winpthreads go in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
