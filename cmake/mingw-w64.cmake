# Cross build for 64-bit Windows with MinGW-w64 (Debian package g++-mingw-w64-x86-64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ASSETKIT_MINGW_PREFIX x86_64-w64-mingw32)
# The POSIX thread model: GoogleTest, built here for the unit tests, needs std::mutex, which the
# win32 model's C++ library lacks.
set(CMAKE_C_COMPILER ${ASSETKIT_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ASSETKIT_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ASSETKIT_MINGW_PREFIX}-windres)

# Look for libraries and headers in the cross environment only, and for programs on the host.
set(CMAKE_FIND_ROOT_PATH /usr/${ASSETKIT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: the .exe files run without MinGW's DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
