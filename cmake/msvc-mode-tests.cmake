# The program built as by Visual Studio, on the build machine (label host), for this tree's
# architecture: this project built again with cmake/msvc-mode-toolchain.cmake, with Wine's
# C runtime DLL (/MD) where Visual Studio links its own in (/MT). That executable then passes
# the executables' check, and the smoke test starts it under Wine.
set(msvc_out ${CMAKE_BINARY_DIR}/msvc-mode)
add_test(NAME msvc_mode_builds_program
         COMMAND ${CMAKE_CTEST_COMMAND} --build-and-test ${PROJECT_SOURCE_DIR} ${msvc_out}
                 --build-generator ${CMAKE_GENERATOR} --build-project Halvoran
                 --build-target Halvoran --build-options
                 -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/msvc-mode-toolchain.cmake
                 -DHALVORAN_ARCH=${CMAKE_SYSTEM_PROCESSOR} -DCMAKE_BUILD_TYPE=Release
                 -DHALVORAN_TESTS=OFF -DCMAKE_MSVC_RUNTIME_LIBRARY=MultiThreadedDLL)
set_tests_properties(msvc_mode_builds_program PROPERTIES LABELS host FIXTURES_SETUP msvc_program)
halvoran_check_executables(msvc_mode_imports_and_resources PROGRAMS ${msvc_out}/Halvoran.exe)
set_tests_properties(msvc_mode_imports_and_resources PROPERTIES FIXTURES_REQUIRED msvc_program)

if(TARGET smoke_test)
    string(REPLACE "/" "\\" msvc_program "Z:${msvc_out}/Halvoran.exe")
    add_test(NAME msvc_mode_program_smoke COMMAND smoke_test --gtest_color=no)
    set_tests_properties(msvc_mode_program_smoke PROPERTIES FIXTURES_REQUIRED "msvc_program;wine"
                         LABELS wine TIMEOUT 600 RESOURCE_LOCK wine_devices
                         ENVIRONMENT "HALVORAN_EXE=${msvc_program}")
endif()
