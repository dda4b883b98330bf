# Cross-build for 64-bit Windows with mingw-w64 (Debian's g++-mingw-w64-x86-64).
# The win32 thread model keeps libwinpthread out of the link, and the static
# runtime means the outputs import only system DLLs (KERNEL32, USER32, GDI32,
# msvcrt). Use: cmake --preset mingw, or -DCMAKE_TOOLCHAIN_FILE=<this file>.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(HUEVANE_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${HUEVANE_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${HUEVANE_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${HUEVANE_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${HUEVANE_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${HUEVANE_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")
set(HUEVANE_MINGW_OBJDUMP ${HUEVANE_MINGW_TRIPLE}-objdump CACHE FILEPATH
    "objdump used by the DLL import/export checks")

set(CMAKE_FIND_ROOT_PATH /usr/${HUEVANE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static C and C++ runtimes for every DLL and executable.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Wine runs the Windows executables when CMake or CTest needs to.
find_program(HUEVANE_WINE NAMES wine64 wine)
if(HUEVANE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${HUEVANE_WINE})
endif()
