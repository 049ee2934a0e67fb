# Runs one libFuzzer program for a fixed number of runs from a fixed seed,
# starting from the committed inputs. New corpus entries and any crash
# input are written to WORK, never beside the committed ones.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus)
set(inputs)
foreach(folder IN LISTS INPUTS)
  if(IS_DIRECTORY ${folder})
    list(APPEND inputs ${folder})
  endif()
endforeach()
execute_process(
  COMMAND ${FUZZER} -runs=${RUNS} -seed=1 -max_len=${MAX_LEN} -timeout=25 -rss_limit_mb=4096
          -print_final_stats=1 -artifact_prefix=${WORK}/ ${WORK}/corpus ${inputs}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the fuzzer stopped with status ${result}; the input is in ${WORK}")
endif()
