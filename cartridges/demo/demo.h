/* What the demo's parts offer each other: pictures and text (graphics.c),
 * music and sound effects (music.c), the high score in FLASH (save.c), and
 * the interrupt handler's results (interrupts.s). */
#ifndef KORU_DEMO_H
#define KORU_DEMO_H

#include <stdint.h>

/* interrupts.s */
extern volatile uint32_t FrameCount;  /* vertical blanks since start-up */
extern volatile uint16_t KeysHeld;    /* keys held at the last blank, 1 = held */
extern volatile uint16_t KeysPressed; /* keys that went down; the main loop clears it */
void IrqHandler(void);
void EnableCpuInterrupts(void);
void VBlankIntrWait(void);

/* graphics.c: video memory layout. BG0 (text) and BG1 (clouds) take their
 * 16-colour tiles from character block 0 and their maps from screen blocks
 * 28 and 29; BG2 (the rotating sky) takes 256-colour tiles from block 1 and
 * its 16 x 16 map from screen block 30. */
#define TEXT_SCREEN_BLOCK 28
#define CLOUD_SCREEN_BLOCK 29
#define SKY_SCREEN_BLOCK 30
#define SKY_CHAR_BLOCK 1

/* BG palette banks of the text. */
#define TEXT_WHITE 0
#define TEXT_YELLOW 2
#define TEXT_CYAN 3

/* Sprite tiles (16 colours, 32 bytes each from 0x06010000) and banks. */
#define TILE_CHICK 0
#define TILE_STAR 4
#define TILE_LETTERS 8 /* K, O, R, U: 16 tiles each */
#define BANK_CHICK 0
#define BANK_STAR 1
#define BANK_LETTERS 2
#define BANK_SHADOW 3

void LoadGraphics(void);
void ClearText(void);
void PrintText(uint32_t column, uint32_t row, uint32_t bank, const char* text);
void PrintNumber(uint32_t column, uint32_t row, uint32_t bank, uint32_t value, uint32_t digits);

/* Sine of an angle in 256ths of a turn, in 8.8 fixed point. */
int32_t Sine(uint32_t angle);
static inline int32_t Cosine(uint32_t angle) { return Sine(angle + 64); }

/* Sprites are prepared in a copy of OAM in work RAM and copied into OAM by
 * DMA during the vertical blank, when the hardware is not reading it. */
void SetSprite(uint32_t n, uint16_t attr0, uint16_t attr1, uint16_t attr2);
void SetSpriteMatrix(uint32_t matrix, int16_t pa, int16_t pb, int16_t pc, int16_t pd);
void HideSprites(void);
void CopySpritesToOam(void);

/* music.c */
void StartSound(void); /* switches the sound on and starts the tune */
void StartTune(void);
void StopTune(void);
void UpdateMusic(void); /* once a frame, except while paused */
void PlayCatchSound(void);
void PlayGameOverSound(void);
void MuteSound(int muted);

/* save.c */
int FindFlash(void); /* 1 when a 64 KB FLASH chip answered */
uint32_t LoadHiScore(void);
void SaveHiScore(uint32_t score);

#endif
