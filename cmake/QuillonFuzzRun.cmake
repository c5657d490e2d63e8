# Runs one fuzz target for a bounded time (ctest calls this; see QuillonFuzz.cmake).
# -DFUZZER=<program> -DSEEDS=<seed corpus> -DWORK=<folder in the build tree> -DSECONDS=<n>
# The seeds are copied first, so that what the fuzzer adds to its corpus never lands in the repo.
foreach(var FUZZER SEEDS WORK SECONDS)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "QuillonFuzzRun.cmake needs -D${var}=...")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/crashes)
file(GLOB seed_files LIST_DIRECTORIES false ${SEEDS}/*)
file(COPY ${seed_files} DESTINATION ${WORK}/corpus)

# -timeout: an input that takes this long counts as a hang, which is a failure too.
execute_process(COMMAND ${FUZZER} -max_total_time=${SECONDS} -timeout=10 -print_final_stats=1
                        -artifact_prefix=${WORK}/crashes/ ${WORK}/corpus
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(GLOB found ${WORK}/crashes/*)
  list(JOIN found "\n  " found)
  message(FATAL_ERROR "${FUZZER} failed (${result}). Inputs that show it:\n  ${found}\n"
                      "Re-run one with: ${FUZZER} <input>")
endif()
