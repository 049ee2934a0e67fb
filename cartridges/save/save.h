/* Shared by the save cartridges written in C: the checking macro of the
 * system cartridges, the run's phase word and the backup window.
 *
 * Each cartridge runs twice with its battery file kept in between. The
 * phase tells the test driver what a run found: 0 when nothing of the
 * previous run was there, 1 when its data were. */
#ifndef KORU_CARTRIDGE_SAVE_H
#define KORU_CARTRIDGE_SAVE_H

#include "../system/system.h"

/* The only variable in IWRAM's .iwram section, so it lies first, at
 * 0x03000100, where the test driver reads it. */
static volatile uint32_t Phase __attribute__((section(".iwram"), used));

/* Static RAM and FLASH: an 8-bit bus at 0x0E000000, repeated to 0x0FFFFFFF. */
#define BACKUP ((volatile uint8_t*)0x0E000000)

#endif
