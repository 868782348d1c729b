# Cross build of a native 64-bit Windows timbrex.exe from Debian with mingw-w64
# (packages g++-mingw-w64-x86-64-posix and libz-mingw-w64-dev); the tests run
# under wine (packages wine and wine64). Used by the "windows" preset.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TIMBREX_MINGW_TRIPLET x86_64-w64-mingw32)
# The posix thread model: std::thread on top of winpthread.
set(CMAKE_C_COMPILER ${TIMBREX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TIMBREX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TIMBREX_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TIMBREX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A self-contained executable: libstdc++, libgcc and winpthread linked in, and
# zlib's static archive rather than its import library, so that timbrex.exe
# needs nothing beyond the system's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(ZLIB_LIBRARY /usr/${TIMBREX_MINGW_TRIPLET}/lib/libz.a CACHE FILEPATH "zlib, linked statically")

# ctest and gtest_discover_tests run the test executables under wine, which
# maps the host's root directory to drive Z:. Paths baked into the tests are
# given that drive so that the Windows programs can reach the source tree.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
set(TIMBREX_HOST_DRIVE "Z:")
