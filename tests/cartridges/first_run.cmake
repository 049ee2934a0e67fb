# Installs the build into WORK/prefix and checks what a new user gets (see
# demo_test.cmake). Invoked by CTest as `cmake -D... -P first_run.cmake`.
#
#   BUILD (the build folder), WORK, GUI (1 when the Qt program is built),
#   COMPARE, GOLDEN (the demo's title picture)

cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK}")
set(prefix "${WORK}/prefix")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${prefix}"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${status}): ${errors}${output}")
endif()

set(failures "")
set(expected bin/koru-headless share/koru/demo.gba share/doc/koru/README.md)
if(GUI)
  list(APPEND expected bin/koru share/applications/koru.desktop share/icons/hicolor/64x64/apps/koru.png
       share/icons/hicolor/256x256/apps/koru.png)
endif()
foreach(path IN LISTS expected)
  if(NOT EXISTS "${prefix}/${path}")
    string(APPEND failures "\n  ${path} is not installed")
  endif()
endforeach()

if(GUI AND EXISTS "${prefix}/share/applications/koru.desktop")
  # The menu entry starts the installed program with the chosen file and
  # names the icon installed beside it.
  file(STRINGS "${prefix}/share/applications/koru.desktop" entry)
  foreach(line "[Desktop Entry]" "Type=Application" "Exec=koru %f" "Icon=koru")
    if(NOT line IN_LIST entry)
      string(APPEND failures "\n  koru.desktop lacks the line ${line}")
    endif()
  endforeach()
endif()

# The installed runner on a copy of the installed demo, in a folder of its
# own as a user would keep their games.
if(EXISTS "${prefix}/bin/koru-headless" AND EXISTS "${prefix}/share/koru/demo.gba")
  file(MAKE_DIRECTORY "${WORK}/games")
  file(COPY "${prefix}/share/koru/demo.gba" DESTINATION "${WORK}/games")
  execute_process(COMMAND "${prefix}/bin/koru-headless" --frames 100 --screenshot "${WORK}/title.png"
                          "${WORK}/games/demo.gba"
                  WORKING_DIRECTORY "${WORK}/games" RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    string(APPEND failures "\n  the installed koru-headless failed (${status}): ${errors}${output}")
  else()
    execute_process(COMMAND "${COMPARE}" "${GOLDEN}" "${WORK}/title.png" RESULT_VARIABLE status
                    OUTPUT_VARIABLE output ERROR_VARIABLE errors)
    if(NOT status EQUAL 0)
      string(APPEND failures "\n  the installed demo's title differs: ${output}${errors}")
    endif()
  endif()
endif()

if(failures)
  message(FATAL_ERROR "the installation in ${prefix}:${failures}")
endif()
