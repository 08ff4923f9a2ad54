set(CMAKE_C_COMPILER ${KW_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KW_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KW_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KW_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Linked statically: the program and its test programs need no DLL beyond
# the Windows system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
