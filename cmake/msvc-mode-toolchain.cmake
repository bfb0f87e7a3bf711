# The program as Visual Studio builds it, on Debian (the MSVC-mode check): clang-cl in MSVC mode
# against Wine's Windows and C runtime headers, llvm-rc, and lld-link against Wine's import
# libraries, for HALVORAN_ARCH (i686 or x86_64). CMakeLists.txt's MSVC branch gives the flags.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${HALVORAN_ARCH})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES HALVORAN_ARCH)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_RC_COMPILER llvm-rc-14)
set(CMAKE_LINKER lld-link-14)
set(CMAKE_AR llvm-lib-14)
set(CMAKE_MT llvm-mt-14)
# Only Wine's headers and clang's own (/X), as system headers; cmake/wine-msvc-compat.h adapts
# them to clang-cl. /GS-: Wine's C runtime has no stack cookie to check against.
set(wine /usr/include/wine/wine)
foreach(lang C CXX)
    set(CMAKE_${lang}_COMPILER clang-cl-14)
    set(CMAKE_${lang}_COMPILER_TARGET ${HALVORAN_ARCH}-pc-windows-msvc)
    set(CMAKE_${lang}_FLAGS_INIT "/X /GS- -imsvc ${wine}/msvcrt -imsvc ${wine}/windows \
/FI${CMAKE_CURRENT_LIST_DIR}/wine-msvc-compat.h")
endforeach()
# Wine's C runtime starts the program (wmainCRTStartup calls wmain, which calls wWinMain); the
# stack probe comes from ntdll. Wine's import libraries are not marked safe for SEH: as MSVC's
# linker does with such objects, the i686 image gets no table of safe handlers. No manifest.
set(CMAKE_EXE_LINKER_FLAGS_INIT "/manifest:no /nodefaultlib /entry:wmainCRTStartup msvcrt.lib \
winecrt0.lib ntdll.lib /safeseh:no /libpath:${CMAKE_BINARY_DIR}/wine-libs")
# Wine's import libraries (libNAME.a) under the names that MSVC links (NAME.lib).
string(REPLACE i686 i386 arch ${HALVORAN_ARCH})
file(GLOB libs /usr/lib/${arch}-linux-gnu/wine/${arch}-windows/lib*.a)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/wine-libs)
foreach(lib IN LISTS libs)
    string(REGEX REPLACE ".*/lib(.*)\\.a$" "\\1.lib" name ${lib})
    file(CREATE_LINK ${lib} ${CMAKE_BINARY_DIR}/wine-libs/${name} SYMBOLIC)
endforeach()
