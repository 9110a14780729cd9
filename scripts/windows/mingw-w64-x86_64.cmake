# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the posix
# thread model, which OpenAL Soft's std::thread needs). The libraries built
# for Windows live in one prefix, given as TUBECHAIN_WINDOWS_PREFIX; nothing
# is ever taken from the build machine's own /usr.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

if(NOT TUBECHAIN_WINDOWS_PREFIX AND DEFINED ENV{TUBECHAIN_WINDOWS_PREFIX})
  set(TUBECHAIN_WINDOWS_PREFIX $ENV{TUBECHAIN_WINDOWS_PREFIX})
endif()
if(NOT TUBECHAIN_WINDOWS_PREFIX)
  message(FATAL_ERROR "Set TUBECHAIN_WINDOWS_PREFIX to the folder of the libraries built for Windows.")
endif()
# The compiler checks run in projects of their own: they get the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TUBECHAIN_WINDOWS_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${TUBECHAIN_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config for the cross build reads the prefix's .pc files and no others.
set(PKG_CONFIG_EXECUTABLE x86_64-w64-mingw32-pkg-config CACHE FILEPATH "pkg-config for the Windows build")
set(ENV{PKG_CONFIG_LIBDIR} ${TUBECHAIN_WINDOWS_PREFIX}/lib/pkgconfig)
unset(ENV{PKG_CONFIG_PATH})
