# Runs one cartridge in koru-headless and judges how it reports. Invoked by
# CTest as `cmake -D... -P run_cartridge.cmake`.
#
#   HEADLESS, CARTRIDGE, WORK (a scratch directory), FRAMES
#   OPTIONS (optional) further koru-headless options, as one command-line
#                    string, e.g. "--keys 10:1,20:3" or "--bios FILE"
#   MODE = SELF      our own test cartridges: the result block at 0x03000000
#                    (cartridges/README.md) must show every check passed
#   MODE = REGISTER  REGISTER (R0-R15) must hold EXPECT after the run; the
#                    public suites leave the number of their first failing
#                    test there (0 when all passed)
#   MODE = MEMORY    LENGTH bytes of bus memory from hex ADDRESS must read
#                    as the hex string EXPECT (two digits a byte, in order)
#   MODE = HASH      the same bytes must have the SHA-256 EXPECT (for a
#                    screen whose picture was checked by eye once)
#   MODE = RECORD    FuzzARM-style mismatch record at 0x02000000: it must
#                    start with TAG (ASCII), show the same R3/R4 got and
#                    expected, and the CPSRs GOT_CPSR and EXPECTED_CPSR (hex)
#   MODE = SAVE      a test cartridge that saves: a copy runs in a fresh
#                    folder of its own, once per entry of PHASES, its battery
#                    file kept between runs. Each run must pass every check
#                    (as SELF) and leave the phase word at 0x03000100 equal
#                    to its entry of PHASES (comma-separated); the .sav must
#                    then be as long as the matching entry of SIZES. A last run with --no-battery
#                    must start fresh (phase 0) and leave the .sav alone.
#   MODE = TEXT      a public program that reports as text on a 32 x 32 tile
#                    map at hex MAP (libgba's console: 06002000): tile
#                    numbers plus OFFSET are the character codes (0, or 32
#                    when tile 0 is a space); the rows, joined by newlines
#                    with trailing spaces removed, must match the regular
#                    expression EXPECT
#   MODE = PICTURE   the last presented frame must equal the golden PNG
#                    GOLDEN (koru_png_compare, COMPARE, leaves the actual
#                    picture and a diff beside it when it does not)
#   MODE = SOUND     a sound cartridge recorded by the PCM synthesiser at
#                    RATE into a WAV file for koru_sound_check (CHECKER)
#                    with --tones TONES and either NOTES, FADE, GAP (the
#                    sound tune, its MIDI log compared with its notes) or
#                    PARTS (the sound driver: both tones throughout each part)

cmake_minimum_required(VERSION 3.25)

if(NOT EXISTS "${CARTRIDGE}")
  message(FATAL_ERROR "cartridge ${CARTRIDGE} does not exist")
endif()
file(MAKE_DIRECTORY "${WORK}")
get_filename_component(stem "${CARTRIDGE}" NAME_WE)
# Tests of one cartridge with other options (the mGBA suite's menu keys, a
# BIOS image) run side by side: each dumps to a file of its own.
string(MD5 tag "${OPTIONS}")
set(dump "${WORK}/${stem}${DUMP_SUFFIX}-${tag}.bin")
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

separate_arguments(extra_options UNIX_COMMAND "${OPTIONS}")

function(run_headless)
  execute_process(COMMAND "${HEADLESS}" --frames ${FRAMES} ${extra_options} ${ARGN} "${CARTRIDGE}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "koru-headless failed (${status}): ${errors}${output}")
  endif()
  set(run_output "${output}" PARENT_SCOPE)
endfunction()

# Judges the result block dumped to ${dump} (see cartridges/README.md).
function(check_result_block)
  file(READ "${dump}" block HEX)
  set(offset 0)
  foreach(field marker run passed first got expected total)
    word_at("${block}" ${offset} ${field})
    math(EXPR offset "${offset} + 4")
  endforeach()
  foreach(field run passed first total)
    math(EXPR ${field} "0x${${field}}")
  endforeach()
  if(NOT marker STREQUAL "600DC0DE" OR NOT first EQUAL 0 OR total EQUAL 0 OR NOT run EQUAL total
     OR NOT passed EQUAL total)
    message(FATAL_ERROR "${stem}: done marker ${marker} after ${FRAMES} frames; ${run} of ${total} checks run, "
                        "${passed} passed, first failure ${first}: got 0x${got}, expected 0x${expected}")
  endif()
  set(result_block "${block}" PARENT_SCOPE)
endfunction()

if(MODE STREQUAL "SELF")
  run_headless(--until 03000000:600DC0DE --dump 03000000:32:${dump})
  check_result_block()
  message(STATUS "${stem}: all checks passed")

elseif(MODE STREQUAL "SAVE")
  # The battery file lands beside the cartridge: run a copy in a folder of its own.
  set(folder "${WORK}/${stem}-save")
  file(REMOVE_RECURSE "${folder}")
  file(MAKE_DIRECTORY "${folder}")
  file(COPY "${CARTRIDGE}" DESTINATION "${folder}")
  get_filename_component(name "${CARTRIDGE}" NAME)
  set(CARTRIDGE "${folder}/${name}")
  set(save "${folder}/${stem}.sav")
  set(dump "${folder}/result.bin")
  string(REPLACE "," ";" PHASES "${PHASES}")
  string(REPLACE "," ";" SIZES "${SIZES}")
  list(LENGTH PHASES runs)
  math(EXPR last "${runs} - 1")
  foreach(run RANGE ${last})
    list(GET PHASES ${run} want_phase)
    list(GET SIZES ${run} want_size)
    run_headless(--no-default-state --until 03000000:600DC0DE --dump 03000000:0x104:${dump})
    check_result_block()
    word_at("${result_block}" 256 phase)
    math(EXPR phase "0x${phase}")
    if(NOT phase EQUAL want_phase)
      message(FATAL_ERROR "${stem}: run ${run} found phase ${phase}, expected ${want_phase}")
    endif()
    if(NOT EXISTS "${save}")
      message(FATAL_ERROR "${stem}: run ${run} left no battery file")
    endif()
    file(SIZE "${save}" size)
    if(NOT size EQUAL want_size)
      message(FATAL_ERROR "${stem}: after run ${run} the battery file has ${size} bytes, expected ${want_size}")
    endif()
  endforeach()
  file(SHA256 "${save}" before)
  run_headless(--no-battery --no-default-state --until 03000000:600DC0DE --dump 03000000:0x104:${dump})
  check_result_block()
  word_at("${result_block}" 256 phase)
  file(SHA256 "${save}" after)
  if(NOT phase STREQUAL "00000000" OR NOT before STREQUAL after)
    message(FATAL_ERROR "${stem}: with --no-battery the run saw phase ${phase} or changed the battery file")
  endif()
  file(GLOB leftovers "${folder}/*.sav.*")
  if(leftovers)
    message(FATAL_ERROR "${stem}: temporary files left: ${leftovers}")
  endif()
  message(STATUS "${stem}: ${runs} runs saved and loaded their battery file")

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

elseif(MODE STREQUAL "MEMORY" OR MODE STREQUAL "HASH")
  run_headless(--dump ${ADDRESS}:${LENGTH}:${dump})
  if(MODE STREQUAL "MEMORY")
    file(READ "${dump}" got HEX)
    string(TOLOWER "${EXPECT}" want)
  else()
    file(SHA256 "${dump}" got)
    set(want "${EXPECT}")
  endif()
  if(NOT got STREQUAL want)
    message(FATAL_ERROR "${stem}: memory at ${ADDRESS} (${LENGTH} bytes) reads ${got}, expected ${want}")
  endif()
  message(STATUS "${stem}: memory at ${ADDRESS} as expected")

elseif(MODE STREQUAL "TEXT")
  run_headless(--no-battery --no-default-state --dump ${MAP}:2048:${dump})
  # Each map entry is a little-endian halfword whose low 10 bits number the
  # tile; characters outside the printable range read as spaces.
  file(READ "${dump}" map HEX)
  set(text "")
  foreach(row RANGE 31)
    set(line "")
    foreach(column RANGE 31)
      math(EXPR at "(${row} * 32 + ${column}) * 4")
      string(SUBSTRING "${map}" ${at} 4 entry)
      string(SUBSTRING "${entry}" 0 2 low)
      string(SUBSTRING "${entry}" 2 2 high)
      math(EXPR code "((0x${high}${low}) & 0x3FF) + ${OFFSET}")
      set(character " ")
      if(code GREATER 32 AND code LESS 127)
        string(ASCII ${code} character)
      endif()
      string(APPEND line "${character}")
    endforeach()
    string(REGEX REPLACE " +$" "" line "${line}")
    string(APPEND text "${line}\n")
  endforeach()
  if(NOT text MATCHES "${EXPECT}")
    message(FATAL_ERROR "${stem}: the screen does not show '${EXPECT}':\n${text}")
  endif()
  message(STATUS "${stem}: ${CMAKE_MATCH_0}")

elseif(MODE STREQUAL "PICTURE")
  set(actual "${WORK}/${stem}.png")
  run_headless(--screenshot "${actual}")
  execute_process(COMMAND "${COMPARE}" "${GOLDEN}" "${actual}" RESULT_VARIABLE status OUTPUT_VARIABLE output
                  ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${stem}: the picture differs from ${GOLDEN}: ${output}${errors}")
  endif()

elseif(MODE STREQUAL "SOUND")
  set(wav "${WORK}/${stem}-${RATE}.wav")
  set(midi "${WORK}/${stem}.mid")
  if(DEFINED PARTS)
    set(check --parts "${PARTS}")
  else()
    list(APPEND extra_options --midi-log "${midi}")
    set(check --midi "${midi}" --notes "${NOTES}" --fade ${FADE} --gap ${GAP})
  endif()
  run_headless(--until 03000000:600DC0DE --sound-rate ${RATE} --wav "${wav}" --no-battery --no-default-state)
  execute_process(COMMAND "${CHECKER}" --wav "${wav}" --tones "${TONES}" ${check}
                  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  message(STATUS "${output}${errors}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${stem}: the recorded sound is not what the cartridge plays (files kept in ${WORK})")
  endif()

else()
  message(FATAL_ERROR "run_cartridge: unknown MODE ${MODE}")
endif()
