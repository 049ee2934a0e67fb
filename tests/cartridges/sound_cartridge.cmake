# Plays the sound tune cartridge in koru-headless with the PCM synthesiser
# rendering into a WAV file and the MIDI log recording, then has
# koru_sound_check compare both with the tune. Invoked by CTest as
# `cmake -D... -P sound_cartridge.cmake`.
#
#   HEADLESS, CHECKER, CARTRIDGE, WORK, RATE, TONES, NOTES, FADE, GAP

cmake_minimum_required(VERSION 3.25)

foreach(variable HEADLESS CHECKER CARTRIDGE WORK RATE TONES NOTES FADE GAP)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "sound_cartridge: ${variable} not set")
  endif()
endforeach()
file(MAKE_DIRECTORY "${WORK}")
get_filename_component(stem "${CARTRIDGE}" NAME_WE)
set(wav "${WORK}/${stem}.wav")
set(midi "${WORK}/${stem}.mid")
file(REMOVE "${wav}" "${midi}")

execute_process(COMMAND "${HEADLESS}" --frames 600 --until 03000000:600DC0DE --sound-rate ${RATE} --wav "${wav}"
                        --midi-log "${midi}" "${CARTRIDGE}"
                WORKING_DIRECTORY "${WORK}"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "koru-headless failed (${status}): ${errors}${output}")
endif()

execute_process(COMMAND "${CHECKER}" --wav "${wav}" --tones "${TONES}" --midi "${midi}" --notes "${NOTES}"
                        --fade ${FADE} --gap ${GAP}
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
message(STATUS "${output}${errors}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${stem}: the recorded sound differs from the tune (files kept in ${WORK})")
endif()
