# Cross-compiles the same sources for x86_64, for machines whose kernel cannot run 32-bit code
# (there Wine runs the tests on this build).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
