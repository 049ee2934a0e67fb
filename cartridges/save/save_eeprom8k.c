/* An 8 KB serial EEPROM, as its save-type marker names it: 14-bit block
 * addresses. */
#define ADDRESS_BITS 14
#include "eeprom_run.h"

const char SaveTypeTag[] __attribute__((aligned(4), used)) = "EEPROM_V124";

CHECKS_END();
