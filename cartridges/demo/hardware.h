/* The handheld's hardware as the demo sees it: the registers it writes,
 * named as in the hardware documentation, and the memories it draws into.
 *
 * Everything the game does to the machine is a store to one of these
 * addresses. The I/O registers sit at 0x04000000; the palette, the video
 * RAM and the sprite attributes (OAM) each have their own region. Video
 * memory is written 16 or 32 bits at a time (a byte store to background
 * VRAM or the palette lands in both halves of its halfword, one to sprite
 * VRAM or OAM is lost), so every store here writes halfwords or words.
 * All pointers are volatile: the compiler must neither drop nor merge a
 * store the hardware is waiting for. */
#ifndef KORU_DEMO_HARDWARE_H
#define KORU_DEMO_HARDWARE_H

#include <stdint.h>

#define REG8(offset) (*(volatile uint8_t*)(0x04000000 + (offset)))
#define REG16(offset) (*(volatile uint16_t*)(0x04000000 + (offset)))
#define REG32(offset) (*(volatile uint32_t*)(0x04000000 + (offset)))

/* --- Display ---------------------------------------------------------------
 * DISPCNT picks the video mode and switches each layer on. Mode 1 gives two
 * tiled text backgrounds (BG0, BG1) and one rotation-scaling background
 * (BG2). */
#define DISPCNT REG16(0x000)
#define DISPSTAT REG16(0x004)
#define VCOUNT REG16(0x006)

#define MODE_1 0x0001
#define OBJ_1D_MAPPING 0x0040 /* a sprite's tiles follow each other in VRAM */
#define SHOW_BG0 0x0100
#define SHOW_BG1 0x0200
#define SHOW_BG2 0x0400
#define SHOW_OBJ 0x1000
#define SHOW_WIN0 0x2000

#define STAT_VBLANK_IRQ 0x0008 /* DISPSTAT: request an interrupt at line 160 */

/* --- Backgrounds -----------------------------------------------------------
 * BGxCNT: priority (0 drawn in front), the 16 KB character block holding the
 * tiles, 256-colour tiles, the 2 KB screen block holding the map, and for
 * BG2 in mode 1 whether the rotated picture repeats (wraps) outside its map. */
#define BGCNT(n) REG16(0x008 + 2 * (n))
#define BGHOFS(n) REG16(0x010 + 4 * (n))
#define BGVOFS(n) REG16(0x012 + 4 * (n))

#define BG_PRIORITY(p) (p)
#define BG_CHAR_BLOCK(b) ((b) << 2)
#define BG_256_COLOURS 0x0080
#define BG_SCREEN_BLOCK(b) ((b) << 8)
#define BG_WRAP 0x2000

/* Rotation-scaling of BG2: for each screen pixel the hardware steps through
 * the map by (PA, PC) along a line and by (PB, PD) from one line to the next,
 * all in 8.8 fixed point, starting at the reference point (X, Y) in 20.8
 * fixed point. */
#define BG2PA REG16(0x020)
#define BG2PB REG16(0x022)
#define BG2PC REG16(0x024)
#define BG2PD REG16(0x026)
#define BG2X REG32(0x028)
#define BG2Y REG32(0x02C)

/* --- Windows ----------------------------------------------------------------
 * Window 0 is a rectangle: WIN0H holds left << 8 | right, WIN0V top << 8 |
 * bottom (right and bottom exclusive). WININ chooses the layers shown inside
 * it and WINOUT those shown outside every window; bit 5 of each also lets
 * the colour effect act there. */
#define WIN0H REG16(0x040)
#define WIN0V REG16(0x044)
#define WININ REG16(0x048)
#define WINOUT REG16(0x04A)

#define WIN_BG0 0x01
#define WIN_BG1 0x02
#define WIN_BG2 0x04
#define WIN_OBJ 0x10
#define WIN_EFFECT 0x20

/* --- Colour effects ---------------------------------------------------------
 * BLDCNT names the first target layers, the effect, and the second targets.
 * Alpha blending mixes a first-target pixel with the second-target pixel
 * under it by the weights of BLDALPHA (sixteenths); the brightness effects
 * move first-target pixels toward white or black by BLDY (sixteenths). */
#define BLDCNT REG16(0x050)
#define BLDALPHA REG16(0x052)
#define BLDY REG16(0x054)

#define BLEND_TOP_BG1 0x0002
#define BLEND_TOP_ALL 0x003F
#define BLEND_ALPHA 0x0040
#define BLEND_DARKEN 0x00C0
#define BLEND_BELOW_BG2 0x0400
#define BLEND_BELOW_OBJ 0x1000
#define BLEND_BELOW_BACKDROP 0x2000

/* --- Sound ------------------------------------------------------------------
 * Four programmable channels: 1 and 2 are square waves (1 with a frequency
 * sweep), 3 plays 32 four-bit samples from wave RAM, 4 is noise. A square
 * channel's rate x gives 131072 / (2048 - x) Hz; the wave channel steps one
 * sample per tick and so plays 65536 / (2048 - x) Hz. The envelope fields
 * (bits 8-15 of the channel's control register) hold the start volume, the
 * direction and the step time in 64ths of a second. Writing bit 15 of the
 * frequency register (re)starts the note. */
#define SOUND1CNT_L REG16(0x060) /* sweep: time << 4 | down << 3 | shift */
#define SOUND1CNT_H REG16(0x062) /* envelope and duty */
#define SOUND1CNT_X REG16(0x064) /* rate and restart */
#define SOUND2CNT_L REG16(0x068)
#define SOUND2CNT_H REG16(0x06C)
#define SOUND3CNT_L REG16(0x070) /* wave RAM bank, playing */
#define SOUND3CNT_H REG16(0x072) /* output level */
#define SOUND3CNT_X REG16(0x074)
#define SOUND4CNT_L REG16(0x078) /* envelope, length */
#define SOUND4CNT_H REG16(0x07C) /* noise clock and restart */
#define SOUNDCNT_L REG16(0x080)  /* master levels and channel routing */
#define SOUNDCNT_H REG16(0x082)
#define SOUNDCNT_X REG16(0x084) /* master enable */
#define WAVE_RAM(n) REG16(0x090 + 2 * (n))

#define SOUND_RESTART 0x8000
#define SOUND_USE_LENGTH 0x4000
#define DUTY_QUARTER 0x0040
#define DUTY_HALF 0x0080
#define ENVELOPE(volume, up, step) ((uint16_t)((volume) << 12 | (up) << 11 | (step) << 8))

/* --- DMA --------------------------------------------------------------------
 * Channel 3 copies memory while the CPU waits: source, destination, a count
 * of units, and the control word that starts it. */
#define DMA3SAD REG32(0x0D4)
#define DMA3DAD REG32(0x0D8)
#define DMA3CNT REG32(0x0DC) /* count in the low half, control in the high */

#define DMA_ENABLE_32BIT_NOW 0x84000000u

/* --- Keypad and interrupts --------------------------------------------------
 * KEYINPUT holds one bit per key, 0 while the key is held. */
#define KEYINPUT REG16(0x130)
#define IE REG16(0x200)
#define IF REG16(0x202)
#define IME REG16(0x208)

#define KEY_A 0x001
#define KEY_B 0x002
#define KEY_SELECT 0x004
#define KEY_START 0x008
#define KEY_RIGHT 0x010
#define KEY_LEFT 0x020
#define KEY_UP 0x040
#define KEY_DOWN 0x080
#define KEY_R 0x100
#define KEY_L 0x200
#define KEY_MASK 0x3FF

#define IRQ_VBLANK 0x0001

/* The BIOS keeps two words at the top of internal work RAM: the address of
 * the game's interrupt handler, which its dispatcher calls, and the flags
 * the handler has serviced, which VBlankIntrWait watches. */
#define BIOS_IRQ_FLAGS (*(volatile uint16_t*)0x03007FF8)
#define BIOS_IRQ_HANDLER (*(volatile uint32_t*)0x03007FFC)

/* --- Memories ---------------------------------------------------------------
 * Palette RAM: 256 background colours, then 256 sprite colours, 15-bit
 * BGR. Video RAM: tiles and maps of the backgrounds in the first 64 KB,
 * sprite tiles from 0x06010000. OAM: 128 sprites of four halfwords (the
 * fourth halfwords of each group of four sprites form one rotation-scaling
 * matrix). */
#define BG_PALETTE ((volatile uint16_t*)0x05000000)
#define OBJ_PALETTE ((volatile uint16_t*)0x05000200)
#define VRAM ((volatile uint16_t*)0x06000000)
#define OBJ_VRAM ((volatile uint16_t*)0x06010000)
#define OAM ((volatile uint16_t*)0x07000000)

#define RGB(r, g, b) ((uint16_t)((r) | (g) << 5 | (b) << 10))

/* Sprite attributes. attr0: y, rotation-scaling, semi-transparent, shape;
 * attr1: x, flips (or the matrix number), size; attr2: tile, priority,
 * palette bank. */
#define OBJ_Y(y) ((uint16_t)((y)&0xFF))
#define OBJ_AFFINE 0x0100
#define OBJ_DOUBLE_SIZE 0x0200
#define OBJ_HIDDEN 0x0200 /* without OBJ_AFFINE: the sprite is not drawn */
#define OBJ_SQUARE 0x0000
#define OBJ_X(x) ((uint16_t)((x)&0x1FF))
#define OBJ_FLIP_H 0x1000
#define OBJ_FLIP_V 0x2000
#define OBJ_MATRIX(m) ((uint16_t)((m) << 9))
#define OBJ_SIZE_16 0x4000 /* with OBJ_SQUARE: 16 x 16 */
#define OBJ_SIZE_32 0x8000 /* with OBJ_SQUARE: 32 x 32 */
#define OBJ_PRIORITY(p) ((uint16_t)((p) << 10))
#define OBJ_PALETTE_BANK(b) ((uint16_t)((b) << 12))

/* --- Cartridge save memory --------------------------------------------------
 * A 64 KB FLASH chip on an 8-bit bus at 0x0E000000: reads are plain byte
 * loads; commands are byte stores of an unlock sequence. */
#define FLASH_MEMORY ((volatile uint8_t*)0x0E000000)

#endif
