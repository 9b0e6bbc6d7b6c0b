# Cross build for 32-bit Windows with Debian's MinGW-w64.
#
# MINGW_THREADS picks the compiler's thread model. The deliverables are built
# with "win32": its runtime uses only Win32 primitives that Windows 95 has.
# The "posix" runtime links winpthreads, which imports functions of Windows XP
# and Vista (GetTickCount64, TryEnterCriticalSection, ...); the test programs,
# fllhost and the tools keep it for std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

if(NOT MINGW_THREADS)
    set(MINGW_THREADS posix)
endif()
set(triple i686-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-${MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${triple}-g++-${MINGW_THREADS})
set(CMAKE_RC_COMPILER ${triple}-windres)
# try_compile projects see the same compiler.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MINGW_THREADS)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test programs and tools run under Wine, in the build's own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
