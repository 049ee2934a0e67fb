# Building test cartridges with the ARM cross toolchain. A missing toolchain
# is a configure error: the cartridge tests must never be skipped silently.

find_program(ARM_GCC arm-none-eabi-gcc)
find_program(ARM_OBJCOPY arm-none-eabi-objcopy)
if(NOT ARM_GCC OR NOT ARM_OBJCOPY)
  message(FATAL_ERROR "arm-none-eabi-gcc and arm-none-eabi-objcopy are needed to build the test cartridges "
                      "(Debian: apt-get install gcc-arm-none-eabi binutils-arm-none-eabi), "
                      "or configure with -DKORU_TESTS=OFF")
endif()
