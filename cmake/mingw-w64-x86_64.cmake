# Cross-compiling pi-lookup.exe for 64-bit Windows with Debian's mingw-w64
# (package g++-mingw-w64-x86-64):
#
#   cmake -S . -B build/windows -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# The posix thread flavour of the compiler gives the whole C++ standard
# library (std::thread, std::mutex); its thread library is linked statically
# with the rest of the runtime, so the one .exe runs on a bare Windows.
# Tests run under Wine when CMAKE_CROSSCOMPILING_EMULATOR names it
# (scripts/test-windows.sh passes /usr/lib/wine/wine64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PI_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PI_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PI_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${PI_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PI_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and the thread library inside the .exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
