# Cross-building for 64-bit Windows with Debian's MinGW-w64 compilers, the flavour with POSIX
# threads (std::thread and std::mutex need it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KIVO_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KIVO_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KIVO_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${KIVO_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KIVO_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# No DLLs to ship: the C and C++ runtimes and winpthreads go into every program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
