# libFuzzer targets, compiled with clang whatever the build's own compiler
# (libFuzzer comes with clang only), with AddressSanitizer and UBSan. Each
# runs as a test for a bounded time, from its checked-in seeds.
#
#   quill_add_fuzzer(NAME name SOURCES a.cpp b.cpp INCLUDES dir... SEEDS dir SECONDS n)
find_program(QUILL_CLANGXX NAMES clang++ clang++-14 REQUIRED)

function(quill_add_fuzzer)
    cmake_parse_arguments(F "" "NAME;SEEDS;SECONDS" "SOURCES;INCLUDES" ${ARGN})
    set(binary ${CMAKE_CURRENT_BINARY_DIR}/${F_NAME})
    set(includes)
    foreach(dir ${F_INCLUDES})
        list(APPEND includes -I${dir})
    endforeach()
    add_custom_command(
        OUTPUT ${binary}
        COMMAND ${QUILL_CLANGXX} -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined
                -fno-sanitize-recover=all ${includes} ${F_SOURCES} -o ${binary}
        DEPENDS ${F_SOURCES}
        WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
        COMMENT "clang++ libFuzzer target ${F_NAME}"
        VERBATIM)
    add_custom_target(${F_NAME}_build ALL DEPENDS ${binary})
    set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${F_NAME}_corpus)
    file(MAKE_DIRECTORY ${corpus})
    add_test(NAME ${F_NAME}
             COMMAND ${binary} -max_total_time=${F_SECONDS} -rss_limit_mb=2048 -print_final_stats=1
                     ${corpus} ${F_SEEDS})
endfunction()
