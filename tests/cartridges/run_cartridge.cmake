# Runs one cartridge in koru-headless and judges how it reports. Invoked by
# CTest as `cmake -D... -P run_cartridge.cmake`.
#
#   HEADLESS, CARTRIDGE, WORK (a scratch directory), FRAMES
#   MODE = SELF      our own test cartridges: the result block at 0x03000000
#                    (cartridges/README.md) must show every check passed
#   MODE = REGISTER  REGISTER (R0-R15) must hold EXPECT after the run; the
#                    public suites leave the number of their first failing
#                    test there (0 when all passed)
#   MODE = RECORD    FuzzARM-style mismatch record at 0x02000000: it must
#                    start with TAG (ASCII), show the same R3/R4 got and
#                    expected, and the CPSRs GOT_CPSR and EXPECTED_CPSR (hex)

cmake_minimum_required(VERSION 3.25)

foreach(variable HEADLESS CARTRIDGE WORK FRAMES MODE)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "run_cartridge: ${variable} not set")
  endif()
endforeach()
if(NOT EXISTS "${CARTRIDGE}")
  message(FATAL_ERROR "cartridge ${CARTRIDGE} does not exist")
endif()
file(MAKE_DIRECTORY "${WORK}")
get_filename_component(stem "${CARTRIDGE}" NAME_WE)
set(dump "${WORK}/${stem}.bin")
file(REMOVE "${dump}")

# The little-endian word at byte OFFSET of a hex string (two digits a byte).
function(word_at hex offset result)
  math(EXPR start "${offset} * 2")
  set(value "")
  foreach(byte 3 2 1 0)
    math(EXPR position "${start} + ${byte} * 2")
    string(SUBSTRING "${hex}" ${position} 2 digits)
    string(APPEND value "${digits}")
  endforeach()
  string(TOUPPER "${value}" value)
  set(${result} "${value}" PARENT_SCOPE)
endfunction()

function(run_headless)
  execute_process(COMMAND "${HEADLESS}" --frames ${FRAMES} ${ARGN} "${CARTRIDGE}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "koru-headless failed (${status}): ${errors}${output}")
  endif()
  set(run_output "${output}" PARENT_SCOPE)
endfunction()

if(MODE STREQUAL "SELF")
  run_headless(--until 03000000:600DC0DE --dump 03000000:32:${dump})
  file(READ "${dump}" block HEX)
  word_at("${block}" 0 marker)
  word_at("${block}" 4 run)
  word_at("${block}" 8 passed)
  word_at("${block}" 12 first)
  word_at("${block}" 16 got)
  word_at("${block}" 20 expected)
  word_at("${block}" 24 total)
  math(EXPR run "0x${run}")
  math(EXPR passed "0x${passed}")
  math(EXPR first "0x${first}")
  math(EXPR total "0x${total}")
  if(NOT marker STREQUAL "600DC0DE")
    message(FATAL_ERROR "${stem}: no done marker after ${FRAMES} frames (${run} checks run, "
                        "${passed} passed, first failure ${first}: got 0x${got}, expected 0x${expected})")
  endif()
  if(NOT first EQUAL 0)
    message(FATAL_ERROR "${stem}: check ${first} failed: got 0x${got}, expected 0x${expected} "
                        "(${passed} of ${run} checks passed)")
  endif()
  if(total EQUAL 0 OR NOT run EQUAL total OR NOT passed EQUAL total)
    message(FATAL_ERROR "${stem}: ${run} checks run and ${passed} passed, but the program has ${total}")
  endif()
  message(STATUS "${stem}: all ${total} checks passed")

elseif(MODE STREQUAL "REGISTER")
  run_headless(--regs)
  string(REGEX MATCH "${REGISTER}=([0-9A-F]+)" found "${run_output}")
  if(NOT found)
    message(FATAL_ERROR "${stem}: no ${REGISTER} in: ${run_output}")
  endif()
  math(EXPR value "0x${CMAKE_MATCH_1}")
  math(EXPR expect "${EXPECT}")
  if(NOT value EQUAL expect)
    message(FATAL_ERROR "${stem}: ${REGISTER} = ${value}, expected ${expect}\n${run_output}")
  endif()
  message(STATUS "${stem}: ${REGISTER} = ${value} as expected")

elseif(MODE STREQUAL "RECORD")
  run_headless(--dump 02000000:64:${dump})
  file(READ "${dump}" record HEX)
  string(HEX "${TAG}" tag_hex)
  string(LENGTH "${tag_hex}" tag_length)
  string(SUBSTRING "${record}" 0 ${tag_length} record_tag)
  word_at("${record}" 0x20 got_r3)
  word_at("${record}" 0x24 got_r4)
  word_at("${record}" 0x2C got_cpsr)
  word_at("${record}" 0x30 expected_r3)
  word_at("${record}" 0x34 expected_r4)
  word_at("${record}" 0x3C expected_cpsr)
  string(TOUPPER "${GOT_CPSR}" want_got)
  string(TOUPPER "${EXPECTED_CPSR}" want_expected)
  if(NOT record_tag STREQUAL tag_hex OR NOT got_r3 STREQUAL expected_r3 OR NOT got_r4 STREQUAL expected_r4
     OR NOT got_cpsr STREQUAL want_got OR NOT expected_cpsr STREQUAL want_expected)
    message(FATAL_ERROR "${stem}: first mismatch record is not the expected one (${TAG}, CPSR ${GOT_CPSR} "
                        "for ${EXPECTED_CPSR}): record ${record}")
  endif()
  message(STATUS "${stem}: first mismatch is the expected ${TAG} flag difference")

else()
  message(FATAL_ERROR "run_cartridge: unknown MODE ${MODE}")
endif()
