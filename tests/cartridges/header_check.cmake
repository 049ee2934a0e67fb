# A cartridge whose header complement byte (0xBD) is wrong: koru-headless
# refuses it (exit status 1, the reason printed), and with
# --no-header-check runs it like any other. Invoked by CTest as
# `cmake -D... -P header_check.cmake` with HEADLESS, CARTRIDGE (one of our
# self-checking cartridges) and WORK.

cmake_minimum_required(VERSION 3.25)

file(MAKE_DIRECTORY "${WORK}")
set(copy "${WORK}/bad_header.gba")
file(COPY_FILE "${CARTRIDGE}" "${copy}")
file(READ "${copy}" good OFFSET 189 LIMIT 1 HEX)
math(EXPR bad "(0x${good} + 1) % 256")
if(bad EQUAL 0)
  set(bad 1)
endif()
string(ASCII ${bad} byte)
file(WRITE "${WORK}/bad_header.byte" "${byte}")
execute_process(COMMAND dd if=${WORK}/bad_header.byte of=${copy} bs=1 seek=189 count=1 conv=notrunc
                RESULT_VARIABLE status ERROR_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "could not break the header of ${copy}")
endif()

set(run "${HEADLESS}" --frames 120 --no-battery --no-default-state)
execute_process(COMMAND ${run} "${copy}" RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 1 OR NOT errors MATCHES "header complement check failed")
  message(FATAL_ERROR "a wrong header complement was not refused (${status}): ${errors}")
endif()

set(dump "${WORK}/bad_header.bin")
execute_process(COMMAND ${run} --no-header-check --until 03000000:600DC0DE --dump 03000000:4:${dump} "${copy}"
                RESULT_VARIABLE status ERROR_VARIABLE errors)
file(READ "${dump}" marker HEX)
if(NOT status EQUAL 0 OR NOT marker STREQUAL "dec00d60")
  message(FATAL_ERROR "with --no-header-check the cartridge did not run to its end (${status}, ${marker}): ${errors}")
endif()
message(STATUS "a wrong header complement is refused, and runs with --no-header-check")
