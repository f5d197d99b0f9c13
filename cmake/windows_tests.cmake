# Registration of the tests that run this build's programs.
#
# The Windows builds' tests run their programs under Wine. Some machines
# cannot run 32-bit programs at all (the kernel refuses them: "Exec format
# error"); scripts/setup finds out and configures the 32-bit build with
# QUILL_RUN_WINDOWS_TESTS=OFF there. Such a build still compiles and links
# every test program, so that a build failure is still seen, but registers
# none of the tests that would run its programs; each test program left out
# is named in tests-not-run.txt in the build folder, for scripts/test to count.
#
#   quill_gtests(<target> [gtest_discover_tests options...])
#       the cases of a GoogleTest program; the native build always runs them
#   quill_windows_test(NAME <name> COMMAND <command...> [SETUP] [PROPERTIES <properties...>])
#       one test that runs the build's programs (a script, or a program run once);
#       SETUP marks a step that only prepares files for other tests, which does
#       not count as a test program of its own

option(QUILL_RUN_WINDOWS_TESTS "Register the tests that run this Windows build's programs under Wine" ON)

function(quill_tests_can_run out)
    if(NOT QUILL_WINDOWS OR QUILL_RUN_WINDOWS_TESTS)
        set(${out} TRUE PARENT_SCOPE)
    else()
        set(${out} FALSE PARENT_SCOPE)
    endif()
endfunction()

function(quill_gtests target)
    quill_tests_can_run(runs)
    if(runs)
        gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 ${ARGN})
    else()
        set_property(GLOBAL APPEND PROPERTY QUILL_TESTS_NOT_RUN ${target})
    endif()
endfunction()

function(quill_windows_test)
    cmake_parse_arguments(T "SETUP" "NAME" "COMMAND;PROPERTIES" ${ARGN})
    quill_tests_can_run(runs)
    if(runs)
        add_test(NAME ${T_NAME} COMMAND ${T_COMMAND})
        if(T_PROPERTIES)
            set_tests_properties(${T_NAME} PROPERTIES ${T_PROPERTIES})
        endif()
    elseif(NOT T_SETUP)
        set_property(GLOBAL APPEND PROPERTY QUILL_TESTS_NOT_RUN ${T_NAME})
    endif()
endfunction()

# Called once at the end of the top-level CMakeLists.txt.
function(quill_write_tests_not_run)
    get_property(names GLOBAL PROPERTY QUILL_TESTS_NOT_RUN)
    set(text "")
    foreach(name IN LISTS names)
        string(APPEND text "${name}\n")
    endforeach()
    file(WRITE ${CMAKE_BINARY_DIR}/tests-not-run.txt "${text}")
endfunction()
