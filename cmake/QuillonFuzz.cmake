# libFuzzer targets. Only the clang sanitizer tree builds them; elsewhere quillon_add_fuzzer does nothing.
if(QUILLON_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND NOT WIN32)
  set(QUILLON_FUZZ ON)
  # The fuzzers steer by the coverage of the code under test, so the project's libraries carry it too.
  # GoogleTest was added before this point and stays without it.
  add_compile_options(-fsanitize=fuzzer-no-link)
else()
  set(QUILLON_FUZZ OFF)
endif()

set(QUILLON_FUZZ_SECONDS 20 CACHE STRING "How long the test run fuzzes each target, in seconds")
set(_quillon_fuzz_runner ${CMAKE_CURRENT_LIST_DIR}/QuillonFuzzRun.cmake)

# quillon_add_fuzzer(<name> SOURCES ... [LIBS ...] CORPUS <seed dir>)
# A fuzz target (LLVMFuzzerTestOneInput) and a ctest test "fuzz.<name>", labelled "fuzz", that fuzzes a
# fresh copy of the seed corpus in the build tree for QUILLON_FUZZ_SECONDS and fails on any crash.
function(quillon_add_fuzzer name)
  if(NOT QUILLON_FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_SOURCES OR NOT ARG_CORPUS)
    message(FATAL_ERROR "quillon_add_fuzzer(${name}) needs SOURCES and CORPUS")
  endif()
  cmake_path(ABSOLUTE_PATH ARG_CORPUS BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE OUTPUT_VARIABLE seeds)
  if(NOT IS_DIRECTORY ${seeds})
    message(FATAL_ERROR "quillon_add_fuzzer(${name}): no corpus folder ${seeds}")
  endif()

  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)

  add_test(NAME fuzz.${name}
           COMMAND ${CMAKE_COMMAND} -DFUZZER=$<TARGET_FILE:${name}> -DSEEDS=${seeds}
                   -DWORK=${CMAKE_CURRENT_BINARY_DIR}/${name}.run -DSECONDS=${QUILLON_FUZZ_SECONDS}
                   -P ${_quillon_fuzz_runner})
  math(EXPR limit "${QUILLON_FUZZ_SECONDS} + 120")
  set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz TIMEOUT ${limit})
endfunction()
