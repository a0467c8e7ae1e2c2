# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (posix threads, for std::thread).
# The libraries built by scripts/windows-deps are found through GLOWMARCH_MINGW_PREFIX.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw}-windres)

if(NOT GLOWMARCH_MINGW_PREFIX AND DEFINED ENV{GLOWMARCH_MINGW_PREFIX})
  set(GLOWMARCH_MINGW_PREFIX $ENV{GLOWMARCH_MINGW_PREFIX})
endif()
# try_compile projects see the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES GLOWMARCH_MINGW_PREFIX)
set(CMAKE_FIND_ROOT_PATH /usr/${mingw} ${GLOWMARCH_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads the cross libraries' files only, never the host's.
if(GLOWMARCH_MINGW_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} "${GLOWMARCH_MINGW_PREFIX}/lib/pkgconfig:/usr/${mingw}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
endif()

# Wine runs the test programs.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
