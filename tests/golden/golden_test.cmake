# Runs a cartridge headless and compares its last presented frame with a
# golden PNG. Variables: HEADLESS, CARTRIDGE, FRAMES, ACTUAL, GOLDEN, COMPARE.
execute_process(
  COMMAND ${HEADLESS} --frames ${FRAMES} --screenshot ${ACTUAL} ${CARTRIDGE}
  RESULT_VARIABLE run_result)
if(NOT run_result EQUAL 0)
  message(FATAL_ERROR "koru-headless failed (${run_result}) on ${CARTRIDGE}")
endif()
execute_process(COMMAND ${COMPARE} ${GOLDEN} ${ACTUAL} RESULT_VARIABLE compare_result)
if(NOT compare_result EQUAL 0)
  message(FATAL_ERROR "the picture of ${CARTRIDGE} differs from ${GOLDEN}")
endif()
