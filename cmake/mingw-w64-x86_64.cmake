# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QX_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${QX_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${QX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# One self-contained exe: no libstdc++ or libgcc DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
