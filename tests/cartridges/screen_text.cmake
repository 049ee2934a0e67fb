# Runs a public test program that reports as text on a background's tile
# map, reads the text back from the map and looks for the expected report.
# Invoked by CTest as `cmake -D... -P screen_text.cmake`.
#
#   HEADLESS, CARTRIDGE, WORK, FRAMES
#   OPTIONS (optional) further koru-headless options, e.g. "--keys 30:0x80,32:0"
#   MAP     hex bus address of the 32 x 32 map (libgba's console: 06002000)
#   OFFSET  what the tile numbers add to give the character codes (0 when a
#           tile number is the character's code, 32 when tile 0 is a space)
#   EXPECT  a regular expression the text must match; rows are separated by
#           newlines, trailing spaces removed

cmake_minimum_required(VERSION 3.25)

foreach(variable HEADLESS CARTRIDGE WORK FRAMES MAP OFFSET EXPECT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "screen_text: ${variable} not set")
  endif()
endforeach()
file(MAKE_DIRECTORY "${WORK}")
get_filename_component(stem "${CARTRIDGE}" NAME_WE)
string(MD5 tag "${OPTIONS}")
set(dump "${WORK}/${stem}-${tag}.map")
file(REMOVE "${dump}")

separate_arguments(extra_options UNIX_COMMAND "${OPTIONS}")
execute_process(COMMAND "${HEADLESS}" --frames ${FRAMES} --no-battery --no-default-state ${extra_options}
                        --dump ${MAP}:2048:${dump} "${CARTRIDGE}"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "koru-headless failed (${status}): ${errors}${output}")
endif()

# Each map entry is a little-endian halfword whose low 10 bits number the
# tile; characters outside the printable range read as spaces.
file(READ "${dump}" map HEX)
set(text "")
foreach(row RANGE 31)
  set(line "")
  foreach(column RANGE 31)
    math(EXPR at "(${row} * 32 + ${column}) * 4")
    string(SUBSTRING "${map}" ${at} 2 low)
    math(EXPR high_at "${at} + 2")
    string(SUBSTRING "${map}" ${high_at} 2 high)
    math(EXPR code "((0x${high}${low}) & 0x3FF) + ${OFFSET}")
    if(code GREATER 32 AND code LESS 127)
      string(ASCII ${code} character)
    else()
      set(character " ")
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
