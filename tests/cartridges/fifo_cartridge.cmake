# Plays the sound driver cartridge in koru-headless with the sound rendered
# into a WAV file, then has koru_sound_check listen to it. Invoked by CTest
# as `cmake -D... -P fifo_cartridge.cmake`.
#
#   HEADLESS, CHECKER, CARTRIDGE, WORK, RATE, TONES, PARTS

cmake_minimum_required(VERSION 3.25)

foreach(variable HEADLESS CHECKER CARTRIDGE WORK RATE TONES PARTS)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "fifo_cartridge: ${variable} not set")
  endif()
endforeach()
file(MAKE_DIRECTORY "${WORK}")
get_filename_component(stem "${CARTRIDGE}" NAME_WE)
set(wav "${WORK}/${stem}-${RATE}.wav")
file(REMOVE "${wav}")

execute_process(COMMAND "${HEADLESS}" --frames 11000 --until 03000000:600DC0DE --sound-rate ${RATE} --wav "${wav}"
                        --no-battery --no-default-state "${CARTRIDGE}"
                WORKING_DIRECTORY "${WORK}"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "koru-headless failed (${status}): ${errors}${output}")
endif()

execute_process(COMMAND "${CHECKER}" --wav "${wav}" --tones "${TONES}" --parts "${PARTS}"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
message(STATUS "${output}${errors}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${stem}: the recorded sound is not the cartridge's two tones throughout (${wav} kept)")
endif()
