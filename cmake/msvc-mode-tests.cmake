# The program built as by Visual Studio, on the build machine (label host), for this tree's
# architecture: clang-cl in MSVC mode with the Visual Studio build's flags against Wine's
# headers, lld-link against Wine's import libraries. That executable then passes the program's
# checks of imports and resources, and the smoke test starts it under Wine.
find_program(HALVORAN_CLANG_CL NAMES clang-cl clang-cl-14)
find_program(HALVORAN_LLD_LINK NAMES lld-link lld-link-14)
find_program(HALVORAN_LLVM_RC NAMES llvm-rc llvm-rc-14)
set(HALVORAN_WINE_INCLUDE /usr/include/wine/wine CACHE PATH "Wine's headers (libwine-dev)")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(wine_libs /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
else()
    set(wine_libs /usr/lib/i386-linux-gnu/wine/i386-windows)
endif()

set(msvc_out ${CMAKE_BINARY_DIR}/msvc-mode)
get_target_property(program_sources halvoran_code SOURCES)
get_directory_property(program_definitions COMPILE_DEFINITIONS)
add_test(NAME msvc_mode_builds_program
         COMMAND ${CMAKE_COMMAND} -DCLANG_CL=${HALVORAN_CLANG_CL} -DLLD_LINK=${HALVORAN_LLD_LINK}
                 -DLLVM_RC=${HALVORAN_LLVM_RC} -DARCH=${CMAKE_SYSTEM_PROCESSOR}
                 -DWINE_INCLUDE=${HALVORAN_WINE_INCLUDE} -DWINE_LIBS=${wine_libs}
                 -DSOURCE_DIR=${CMAKE_CURRENT_SOURCE_DIR} "-DSOURCES=${program_sources}"
                 "-DDEFINITIONS=${program_definitions}" "-DMSVC_FLAGS=${HALVORAN_MSVC_FLAGS}"
                 "-DLIBS=${HALVORAN_LIBS}"
                 -DOUT=${msvc_out} -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/msvc-mode-build.cmake)
set_tests_properties(msvc_mode_builds_program PROPERTIES LABELS host FIXTURES_SETUP msvc_program)
add_test(NAME msvc_mode_imports_and_resources
         COMMAND ${CMAKE_COMMAND} -DPROGRAMS=${msvc_out}/Halvoran.exe
                 -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/check-executables.cmake)
set_tests_properties(msvc_mode_imports_and_resources PROPERTIES LABELS host
                     FIXTURES_REQUIRED msvc_program)

if(TARGET smoke_test)
    string(REPLACE "/" "\\" msvc_program "Z:${msvc_out}/Halvoran.exe")
    add_test(NAME msvc_mode_program_smoke COMMAND smoke_test --gtest_color=no)
    set_tests_properties(msvc_mode_program_smoke PROPERTIES FIXTURES_REQUIRED "msvc_program;wine"
                         LABELS wine TIMEOUT 600 RESOURCE_LOCK wine_devices
                         ENVIRONMENT "HALVORAN_EXE=${msvc_program}")
endif()
