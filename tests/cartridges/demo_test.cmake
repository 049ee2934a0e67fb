# The demo cartridge (cartridges/demo) played headless as a user would:
# a copy runs twice in a fresh folder with its battery file in between.
#
# The first run lasts 600 frames with scripted keys: Start at frame 110,
# walks right, left and right again to catch the falling stars (4 of them
# by frame 400), Select at 400 to end the round, which saves the new high
# score to FLASH; back on the title screen by frame 551. Its pictures at
# frames 100, 300, 500 and 600 must equal the golden ones:
#
#   demo_title.png       the title: K O R U with shadows over the turning
#                        sky, spinning stars at both sides, the text panel
#                        on a darkened sky, HI-SCORE 0000, SAVE: FLASH 64K;
#   demo_play.png        the game: score bar (SCORE 0002, TIME 27, HI 0000)
#                        on the plain backdrop, see-through clouds over the
#                        checkered sky, a star half behind a cloud, the chick
#                        at the bottom walking left (flipped);
#   demo_game_over.png   GAME OVER, SCORE 0004, NEW HI-SCORE! over the
#                        stopped game, the stars gone, the chick left;
#   demo_new_hiscore.png the title again (PRESS START blinked off), with
#                        HI-SCORE 0004.
#
# Its sound must be music (koru_sound_check: the WAV file mostly not silent,
# notes on all four channels in the MIDI log, the sweep on the first) and
# its .sav must hold the score record. The second run starts from that .sav
# and must show HI-SCORE 0004 on its title at frame 100
# (demo_saved_hiscore.png) and read the record back from FLASH.

add_test(NAME cartridge.demo
         COMMAND ${CMAKE_COMMAND} -DHEADLESS=$<TARGET_FILE:koru-headless> -DCOMPARE=$<TARGET_FILE:koru_png_compare>
                 -DCHECKER=$<TARGET_FILE:koru_sound_check> -DCARTRIDGE=${KORU_CARTRIDGE_DIR}/demo.gba
                 -DWORK=${CMAKE_CURRENT_BINARY_DIR}/work/demo -DGOLDEN=${PROJECT_SOURCE_DIR}/tests/golden
                 "-DKEYS=110:0x008,114:0,120:0x010,160:0,212:0x020,228:0,300:0x020,332:0,376:0x020,388:0x010,400:0x004,404:0"
                 -P ${CMAKE_CURRENT_LIST_DIR}/demo_cartridge.cmake)
set_tests_properties(cartridge.demo PROPERTIES LABELS cartridge TIMEOUT 120)

# A new user's first run: `cmake --install` into a scratch prefix must lay
# out the programs, the desktop entry with its icons (with the Qt program)
# and the demo, and the installed runner must show the installed demo's
# title picture.
add_test(NAME install.first_run
         COMMAND ${CMAKE_COMMAND} -DBUILD=${CMAKE_BINARY_DIR} -DWORK=${CMAKE_CURRENT_BINARY_DIR}/work/install
                 -DGUI=$<TARGET_EXISTS:koru> -DCOMPARE=$<TARGET_FILE:koru_png_compare>
                 -DGOLDEN=${PROJECT_SOURCE_DIR}/tests/golden/demo_title.png -P ${CMAKE_CURRENT_LIST_DIR}/first_run.cmake)
set_tests_properties(install.first_run PROPERTIES LABELS install TIMEOUT 120)
