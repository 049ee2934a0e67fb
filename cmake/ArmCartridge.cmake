# Building test cartridges with the ARM cross toolchain. A missing toolchain
# is a configure error: the cartridge tests must never be skipped silently.

find_program(ARM_GCC arm-none-eabi-gcc)
find_program(ARM_OBJCOPY arm-none-eabi-objcopy)
if(NOT ARM_GCC OR NOT ARM_OBJCOPY)
  message(FATAL_ERROR "arm-none-eabi-gcc and arm-none-eabi-objcopy are needed to build the test cartridges "
                      "(Debian: apt-get install gcc-arm-none-eabi binutils-arm-none-eabi), "
                      "or configure with -DKORU_TESTS=OFF")
endif()

set(KORU_CARTRIDGE_COMMON ${PROJECT_SOURCE_DIR}/cartridges/common)
set(KORU_CARTRIDGE_DIR ${CMAKE_BINARY_DIR}/cartridges)
set(KORU_CARTRIDGE_FLAGS -mcpu=arm7tdmi -mthumb-interwork -g)

# The host tool that writes the title and the header complement byte.
if(NOT TARGET koru_fix_header)
  add_executable(koru_fix_header ${PROJECT_SOURCE_DIR}/tools/fix_header.cpp)
endif()

# add_gba_cartridge(NAME SOURCES file... [TITLE text] [CHECKS])
#
# Assembles (.s) or compiles (.c) the sources for the ARM7TDMI, links them
# with our start-up code and memory layout, and writes
# ${CMAKE_BINARY_DIR}/cartridges/NAME.gba with a valid header complement.
# CHECKS links the result-block helpers of the test cartridges. The target
# is called cartridge_NAME and is part of the default build.
function(add_gba_cartridge NAME)
  cmake_parse_arguments(CART "CHECKS" "TITLE" "SOURCES" ${ARGN})
  if(NOT CART_SOURCES)
    message(FATAL_ERROR "add_gba_cartridge(${NAME}): no SOURCES")
  endif()
  if(NOT CART_TITLE)
    set(CART_TITLE ${NAME})
  endif()

  set(work ${CMAKE_CURRENT_BINARY_DIR}/${NAME}.dir)
  file(MAKE_DIRECTORY ${work} ${KORU_CARTRIDGE_DIR})
  set(sources ${KORU_CARTRIDGE_COMMON}/crt0.s)
  if(CART_CHECKS)
    list(APPEND sources ${KORU_CARTRIDGE_COMMON}/report.s)
  endif()
  foreach(source IN LISTS CART_SOURCES)
    get_filename_component(path ${source} ABSOLUTE)
    list(APPEND sources ${path})
  endforeach()

  set(objects)
  foreach(path IN LISTS sources)
    get_filename_component(stem ${path} NAME_WE)
    get_filename_component(extension ${path} EXT)
    set(object ${work}/${stem}.o)
    if(extension STREQUAL ".c")
      # The compiler writes the headers a source includes into a depfile, so
      # editing a shared header rebuilds every cartridge that uses it.
      set(language_flags -std=c11 -O2 -ffreestanding -Wall -Wextra -MMD -MF ${object}.d)
      set(depfile DEPFILE ${object}.d)
    else()
      set(language_flags -x assembler)
      set(depfile)
    endif()
    add_custom_command(
      OUTPUT ${object}
      COMMAND ${ARM_GCC} ${KORU_CARTRIDGE_FLAGS} ${language_flags} -I${KORU_CARTRIDGE_COMMON}
              -I${CMAKE_CURRENT_SOURCE_DIR} -c ${path} -o ${object}
      DEPENDS ${path} ${KORU_CARTRIDGE_COMMON}/check.inc
      ${depfile}
      COMMENT "Cartridge ${NAME}: ${stem}"
      VERBATIM)
    list(APPEND objects ${object})
  endforeach()

  set(elf ${work}/${NAME}.elf)
  set(image ${KORU_CARTRIDGE_DIR}/${NAME}.gba)
  set(script ${KORU_CARTRIDGE_COMMON}/gba.ld)
  add_custom_command(
    OUTPUT ${image}
    COMMAND ${ARM_GCC} ${KORU_CARTRIDGE_FLAGS} -nostdlib -Wl,-T,${script} -Wl,-Map,${work}/${NAME}.map
            -Wl,--no-warn-rwx-segments ${objects} -lgcc -o ${elf}
    COMMAND ${ARM_OBJCOPY} -O binary ${elf} ${image}
    COMMAND koru_fix_header ${image} ${CART_TITLE}
    DEPENDS ${objects} ${script} koru_fix_header
    COMMENT "Cartridge ${NAME}.gba"
    VERBATIM)
  add_custom_target(cartridge_${NAME} ALL DEPENDS ${image})
  set_property(TARGET cartridge_${NAME} PROPERTY KORU_IMAGE ${image})
endfunction()
