/* The combined chips' serial EEPROM (no save-type marker): 6-bit block
 * addresses. */
#define ADDRESS_BITS 6
#include "eeprom_run.h"

CHECKS_END();
