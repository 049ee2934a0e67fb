# Plays a sound cartridge in koru-headless with the PCM synthesiser rendering
# into a WAV file, then has koru_sound_check listen to it. Invoked by CTest
# as `cmake -D... -P sound_cartridge.cmake`.
#
#   HEADLESS, CHECKER, CARTRIDGE, WORK, RATE, TONES, and either
#   NOTES, FADE, GAP   the sound tune: its tones one after the other, and the
#                      MIDI log recorded alongside compared with its notes
#   PARTS              the sound driver: both tones throughout each part

cmake_minimum_required(VERSION 3.25)

foreach(variable HEADLESS CHECKER CARTRIDGE WORK RATE TONES)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "sound_cartridge: ${variable} not set")
  endif()
endforeach()
file(MAKE_DIRECTORY "${WORK}")
get_filename_component(stem "${CARTRIDGE}" NAME_WE)
set(wav "${WORK}/${stem}-${RATE}.wav")
set(midi "${WORK}/${stem}.mid")
file(REMOVE "${wav}" "${midi}")
if(DEFINED PARTS)
  set(record --frames 11000)
  set(check --parts "${PARTS}")
else()
  set(record --frames 600 --midi-log "${midi}")
  set(check --midi "${midi}" --notes "${NOTES}" --fade ${FADE} --gap ${GAP})
endif()

execute_process(COMMAND "${HEADLESS}" ${record} --until 03000000:600DC0DE --sound-rate ${RATE} --wav "${wav}"
                        --no-battery --no-default-state "${CARTRIDGE}"
                WORKING_DIRECTORY "${WORK}"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "koru-headless failed (${status}): ${errors}${output}")
endif()

execute_process(COMMAND "${CHECKER}" --wav "${wav}" --tones "${TONES}" ${check}
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
message(STATUS "${output}${errors}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${stem}: the recorded sound is not what the cartridge plays (files kept in ${WORK})")
endif()
