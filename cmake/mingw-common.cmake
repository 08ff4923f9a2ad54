# The MinGW-w64 compilers come in two thread models.  The program and its
# tools are built with the -win32 ones, which need no threading library: the
# winpthreads library of the -posix ones imports functions that Windows 95
# and NT 4.0 lack (GetTickCount64, AddVectoredExceptionHandler, ...), and the
# loader there refuses the whole program.  The Windows test programs are a
# build of their own (KW_WINDOWS_PART=tests) with the -posix compilers,
# because GoogleTest needs std::mutex, which these -win32 compilers lack.
if(KW_WINDOWS_PART STREQUAL "tests")
  set(KW_MINGW_THREADS posix)
else()
  set(KW_MINGW_THREADS win32)
endif()
# try_compile() projects read this file again and must pick the same compilers.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KW_WINDOWS_PART)

set(CMAKE_C_COMPILER ${KW_MINGW_PREFIX}-gcc-${KW_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${KW_MINGW_PREFIX}-g++-${KW_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${KW_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KW_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Linked statically: the program and its test programs need no DLL beyond
# the Windows system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
