# Plays the demo cartridge twice in a fresh folder and checks its pictures,
# its sound and its battery save (see demo_test.cmake for what each must
# show). Every check runs even after one fails, so one run reports all.
# Invoked by CTest as `cmake -D... -P demo_cartridge.cmake`.
#
#   HEADLESS, COMPARE, CHECKER, CARTRIDGE, WORK, GOLDEN (folder), KEYS

cmake_minimum_required(VERSION 3.25)


# A fresh folder with a copy of the cartridge, so the .sav lands there.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(COPY "${CARTRIDGE}" DESTINATION "${WORK}")
set(game "${WORK}/demo.gba")
set(failures "")

function(run_headless)
  execute_process(COMMAND "${HEADLESS}" ${ARGN} "${game}" WORKING_DIRECTORY "${WORK}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "koru-headless failed (${status}): ${errors}${output}")
  endif()
endfunction()

# The picture ACTUAL must equal GOLDEN/NAME.png; koru_png_compare leaves the
# actual picture and a diff beside the golden one when it does not.
function(compare_picture actual name)
  execute_process(COMMAND "${COMPARE}" "${GOLDEN}/${name}.png" "${actual}" RESULT_VARIABLE status
                  OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    set(failures "${failures}\n  picture ${name} differs: ${output}${errors}" PARENT_SCOPE)
  endif()
endfunction()

# --- first run: the scripted game, its pictures and its sound -----------------------
run_headless(--frames 600 --keys ${KEYS} --screenshot-every 100:${WORK}/frame --sound-rate 22050
             --wav "${WORK}/demo.wav" --midi-log "${WORK}/demo.mid")
compare_picture("${WORK}/frame-000100.png" demo_title)
compare_picture("${WORK}/frame-000300.png" demo_play)
compare_picture("${WORK}/frame-000500.png" demo_game_over)
compare_picture("${WORK}/frame-000600.png" demo_new_hiscore)

# 600 frames of 280896 cycles at 16.78 MHz: 10.04 s. The music stops for the
# 150 frames of the game-over screen, and the plucked notes leave short
# gaps, so a bit over half of the blocks sound.
execute_process(COMMAND "${CHECKER}" --wav "${WORK}/demo.wav" --rate 22050 --seconds 10.04 --sounding 40
                        --midi "${WORK}/demo.mid" --channels 0,1,2,3 --sweep 0
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
message(STATUS "${output}${errors}")
if(NOT status EQUAL 0)
  set(failures "${failures}\n  the recorded sound is not the demo's music")
endif()

# The record at the start of FLASH: "KORU", the score 4 as a halfword, then
# its complement; the rest of the 64 KB block as the chip left it.
set(save "${WORK}/demo.sav")
set(record 4b4f52550400fbff)
if(NOT EXISTS "${save}")
  set(failures "${failures}\n  the first run left no demo.sav")
else()
  file(SIZE "${save}" size)
  file(READ "${save}" start LIMIT 8 HEX)
  if(NOT size EQUAL 65536 OR NOT start STREQUAL record)
    set(failures "${failures}\n  demo.sav is ${size} bytes starting ${start}; want 65536 starting ${record}")
  endif()
endif()

# --- second run: the high score comes back from the .sav -----------------------------
run_headless(--frames 100 --screenshot "${WORK}/reloaded.png" --dump "0E000000:8:${WORK}/record.bin")
compare_picture("${WORK}/reloaded.png" demo_saved_hiscore)
file(READ "${WORK}/record.bin" reloaded HEX)
if(NOT reloaded STREQUAL record)
  set(failures "${failures}\n  FLASH holds ${reloaded} in the second run; want ${record}")
endif()

if(failures)
  message(FATAL_ERROR "the demo (files kept in ${WORK}):${failures}")
endif()
