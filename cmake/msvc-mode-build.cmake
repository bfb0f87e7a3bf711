cmake_minimum_required(VERSION 3.20)
# Compiles the program's sources with clang-cl in MSVC mode (MSVC's command line, dialect and
# ABI), with the Visual Studio build's warning and conformance flags (MSVC_FLAGS: warnings at
# /W4 being errors, /permissive-), against Wine's Windows and C runtime headers, and links it
# with lld-link against Wine's import libraries for the architecture, into OUT/Halvoran.exe.
# cmake -DCLANG_CL= -DLLD_LINK= -DLLVM_RC= -DARCH=i686|x86_64 -DWINE_INCLUDE= -DWINE_LIBS=
#       -DSOURCE_DIR= -DSOURCES= -DDEFINITIONS= -DMSVC_FLAGS= -DLIBS= -DOUT=
#       -P msvc-mode-build.cmake
foreach(tool CLANG_CL LLD_LINK LLVM_RC)
    if(NOT EXISTS "${${tool}}")
        message(FATAL_ERROR "${tool} not found (scripts/setup.sh installs it)")
    endif()
endforeach()
if(NOT EXISTS "${WINE_INCLUDE}/windows/windows.h" OR NOT EXISTS "${WINE_LIBS}/libkernel32.a")
    message(FATAL_ERROR "Wine's headers or ${ARCH} import libraries not found (libwine-dev)")
endif()
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})

# CMake's flags for an MSVC C++17 release build, then the Visual Studio build's own. The C
# runtime is Wine's, a DLL (/MD), where Visual Studio links its own in (/MT). Only Wine's headers
# and clang's own are searched (/X), as system headers (-imsvc). /GS-: Wine's C runtime has no
# stack cookie to check against. Paths are relative: clang-cl and lld-link read an argument
# starting with a slash as an option.
if(NOT MSVC_FLAGS MATCHES "/W4")
    message(FATAL_ERROR "MSVC_FLAGS (the Visual Studio build's flags) not given")
endif()
set(flags --target=${ARCH}-pc-windows-msvc /nologo /X /std:c++17 ${MSVC_FLAGS} /GR
    /EHsc /MD /O2 /Ob2 /DNDEBUG /DWIN32 /D_WINDOWS /GS- -imsvc ${WINE_INCLUDE}/msvcrt
    -imsvc ${WINE_INCLUDE}/windows /FI${CMAKE_CURRENT_LIST_DIR}/wine-msvc-compat.h
    /I${SOURCE_DIR})
foreach(definition IN LISTS DEFINITIONS)
    list(APPEND flags /D${definition})
endforeach()
set(objects "")
foreach(source IN LISTS SOURCES)
    string(MAKE_C_IDENTIFIER ${source} object)
    execute_process(COMMAND ${CLANG_CL} ${flags} /c /Fo${OUT}/${object}.obj /Tp${source}
                    WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "clang-cl (MSVC mode) rejects ${source}")
    endif()
    list(APPEND objects ${object}.obj)
endforeach()
list(LENGTH objects count)
message(STATUS "${count} sources compile in MSVC mode for ${ARCH} with no warning")
# Wine's C runtime starts the program: wmainCRTStartup calls wmain, which calls wWinMain.
execute_process(COMMAND ${LLVM_RC} /nologo /FO ${OUT}/halvoran.res res/halvoran.rc
                WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "llvm-rc rejects res/halvoran.rc")
endif()
# The stack probe (__chkstk) of frames over a page, which MSVC's own C runtime links in, comes
# from Wine's kernel32 on x86_64 and from ntdll on i686.
set(libraries libmsvcrt.a libwinecrt0.a)
foreach(lib IN LISTS LIBS)
    list(APPEND libraries lib${lib}.a)
endforeach()
list(APPEND libraries libntdll.a)
# Wine's import libraries do not mark their objects as safe for SEH: as MSVC's linker does with
# such objects, the i686 image gets no table of safe handlers.
set(link_flags "")
if(ARCH STREQUAL i686)
    set(link_flags /safeseh:no)
endif()
execute_process(COMMAND ${LLD_LINK} /nologo ${link_flags} /subsystem:windows
                        /entry:wmainCRTStartup /nodefaultlib /libpath:${WINE_LIBS}
                        /out:Halvoran.exe ${objects} halvoran.res ${libraries}
                WORKING_DIRECTORY ${OUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "lld-link could not link the program against Wine's libraries")
endif()
message(STATUS "linked ${OUT}/Halvoran.exe")
