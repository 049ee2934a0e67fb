/* KORU's demo: a title screen and a small game, "catch the falling stars".
 *
 * It shows most of what the handheld's hardware does and how a cartridge
 * drives it:
 *
 *   - video mode 1: text on BG0, clouds on BG1, and on BG2 a starry sky that
 *     the rotation-scaling hardware turns and zooms every frame;
 *   - sprites: the title's big letters with their shadows (the lower sprite
 *     number is drawn in front), a spinning star drawn through a sprite
 *     rotation matrix, the chick that faces where it walks by a horizontal
 *     flip, and stars that twinkle by flips and fall either in front of the
 *     clouds or behind them, by sprite priority;
 *   - colour effects: the title fades in from black (the brightness
 *     effect); in the game the clouds are alpha-blended over the sky and the
 *     stars;
 *   - window 0: on the title a panel behind the text where the sky is left
 *     out, in the game the score bar, which shows nothing but the text;
 *   - a tune on the four sound channels (music.c), with sound effects;
 *   - the vertical blank interrupt: its handler (interrupts.s) reads the
 *     keypad, and the main loop sleeps in the BIOS's VBlankIntrWait;
 *   - the high score saved in the cartridge's FLASH chip (save.c).
 *
 * Keys: Start begins a round and pauses it; Left and Right walk; Select
 * ends the round early. A round lasts 30 seconds. */
#include "demo.h"
#include "hardware.h"

#define ROUND_FRAMES (30 * 60)
#define GAME_OVER_FRAMES 150
#define FADE_FRAMES 32
#define STAR_COUNT 4
#define CHICK_Y 136

enum Scene { TITLE, PLAY, PAUSED, GAME_OVER };

struct Star {
    int32_t x, y;
    int32_t speed;  /* pixels a frame */
    int32_t behind; /* 1: falls behind the clouds */
};

static enum Scene scene;
static uint32_t sceneFrame; /* frames since the scene began */
static uint32_t hiScore;
static int flashPresent;

static uint32_t score;
static uint32_t timeLeft;
static int32_t chickX;
static int32_t chickFacesLeft;
static struct Star stars[STAR_COUNT];
static uint32_t randomState;

/* What the next vertical blank writes to the video registers: prepared
 * during the frame, applied while the hardware is not drawing. */
static struct {
    uint32_t skyAngle, skyZoom;
    uint16_t cloudScroll;
    uint16_t brightness;
} display;

/* xorshift: a small generator of pseudo-random numbers. */
static uint32_t Random(void) {
    randomState ^= randomState << 13;
    randomState ^= randomState >> 17;
    randomState ^= randomState << 5;
    return randomState;
}

/* The keys pressed since the last call. The interrupt handler adds to
 * KeysPressed, so the interrupts are held off (IME = 0) between reading and
 * clearing it, or a key pressed in between would be lost. */
static uint16_t TakePressedKeys(void) {
    IME = 0;
    const uint16_t keys = KeysPressed;
    KeysPressed = 0;
    IME = 1;
    return keys;
}

/* BG2's matrix for a turn by `angle` (256ths of a turn) and a zoom (8.8: 256
 * is 1:1, more shows more of the sky), and the reference point that keeps
 * the sky's centre (64, 64) on the screen's centre (120, 80). */
static void ApplySky(uint32_t angle, uint32_t zoom) {
    const int32_t c = Cosine(angle) * (int32_t)zoom >> 8, s = Sine(angle) * (int32_t)zoom >> 8;
    BG2PA = (uint16_t)c;
    BG2PB = (uint16_t)-s;
    BG2PC = (uint16_t)s;
    BG2PD = (uint16_t)c;
    BG2X = (uint32_t)(64 * 256 - (c * 120 - s * 80));
    BG2Y = (uint32_t)(64 * 256 - (s * 120 + c * 80));
}

static void ApplyDisplay(void) {
    CopySpritesToOam();
    ApplySky(display.skyAngle, display.skyZoom);
    BGHOFS(1) = display.cloudScroll;
    BLDY = display.brightness;
}

/* --- Title ------------------------------------------------------------------*/
static void ShowPressStart(int shown) { PrintText(9, 11, TEXT_YELLOW, shown ? "PRESS START" : "           "); }

static void EnterTitle(void) {
    scene = TITLE;
    sceneFrame = 0;
    ClearText();
    HideSprites();
    PrintText(3, 8, TEXT_WHITE, "CATCH THE FALLING STARS");
    ShowPressStart(1);
    PrintText(8, 13, TEXT_WHITE, "HI-SCORE");
    PrintNumber(17, 13, TEXT_YELLOW, hiScore, 4);
    PrintText(7, 15, TEXT_CYAN, flashPresent ? "SAVE: FLASH 64K" : "SAVE: NONE");
    PrintText(2, 17, TEXT_WHITE, "LEFT/RIGHT: MOVE THE CHICK");
    PrintText(2, 18, TEXT_WHITE, "START: PAUSE  SELECT: END");

    DISPCNT = MODE_1 | OBJ_1D_MAPPING | SHOW_BG0 | SHOW_BG2 | SHOW_OBJ | SHOW_WIN0;
    /* Window 0: a panel behind the middle lines of text, where the sky is
     * left out and the plain backdrop colour shows. */
    WIN0H = 32 << 8 | 208;
    WIN0V = 84 << 8 | 132;
    WININ = WIN_BG0 | WIN_OBJ | WIN_EFFECT;
    WINOUT = WIN_BG0 | WIN_BG2 | WIN_OBJ | WIN_EFFECT;
    /* Fading in: every layer and the backdrop darkened, by less each
     * frame. */
    BLDCNT = BLEND_TOP_ALL | BLEND_DARKEN;
    display.brightness = 16;
}

static void UpdateTitle(uint16_t pressed) {
    if (sceneFrame < FADE_FRAMES)
        display.brightness = (uint16_t)((FADE_FRAMES - sceneFrame) / 2);
    else if (sceneFrame == FADE_FRAMES)
        BLDCNT = 0; /* faded in: no effect any more */
    if (sceneFrame % 32 == 0) ShowPressStart(sceneFrame % 64 == 0);

    /* K O R U bobbing in a wave, each with a shadow behind it: sprites 0-3
     * in front of sprites 4-7 at the same priority. */
    for (uint32_t i = 0; i < 4; ++i) {
        const int32_t x = 44 + 40 * (int32_t)i, y = 14 + (Sine(4 * sceneFrame + 40 * i) >> 6);
        const uint16_t tile = (uint16_t)(TILE_LETTERS + 16 * i);
        SetSprite(i, OBJ_Y(y) | OBJ_SQUARE, OBJ_X(x) | OBJ_SIZE_32,
                  tile | OBJ_PRIORITY(1) | OBJ_PALETTE_BANK(BANK_LETTERS));
        SetSprite(4 + i, OBJ_Y(y + 3) | OBJ_SQUARE, OBJ_X(x + 3) | OBJ_SIZE_32,
                  tile | OBJ_PRIORITY(1) | OBJ_PALETTE_BANK(BANK_SHADOW));
    }
    /* Two stars spinning through rotation matrix 0, in double-size boxes
     * (32 x 32) so the turning corners are not cut off. */
    const int32_t c = Cosine(3 * sceneFrame), s = Sine(3 * sceneFrame);
    SetSpriteMatrix(0, (int16_t)c, (int16_t)-s, (int16_t)s, (int16_t)c);
    for (uint32_t i = 0; i < 2; ++i)
        SetSprite(8 + i, OBJ_Y(18) | OBJ_AFFINE | OBJ_DOUBLE_SIZE | OBJ_SQUARE,
                  OBJ_X(i ? 206 : 2) | OBJ_MATRIX(0) | OBJ_SIZE_16,
                  TILE_STAR | OBJ_PRIORITY(1) | OBJ_PALETTE_BANK(BANK_STAR));

    display.skyAngle = sceneFrame;
    display.skyZoom = (uint32_t)(320 + (Sine(sceneFrame) >> 1));
    if (pressed & KEY_START) {
        randomState = 0x2545F491u ^ FrameCount;
        /* EnterPlay follows in the main loop. */
        scene = PLAY;
    }
}

/* --- Play -------------------------------------------------------------------*/
static void DropStar(struct Star* star) {
    star->x = 8 + (int32_t)(Random() % 208);
    star->y = -16 - (int32_t)(Random() % 48);
    star->speed = 1 + (int32_t)(Random() % 2);
    star->behind = (int32_t)(Random() & 1);
}

static void PrintStatus(void) {
    PrintNumber(7, 1, TEXT_YELLOW, score, 4);
    PrintNumber(17, 1, TEXT_YELLOW, (timeLeft + 59) / 60, 2);
}

static void EnterPlay(void) {
    scene = PLAY;
    sceneFrame = 0;
    score = 0;
    timeLeft = ROUND_FRAMES;
    chickX = 112;
    chickFacesLeft = 0;
    for (uint32_t i = 0; i < STAR_COUNT; ++i) {
        DropStar(&stars[i]);
        stars[i].y -= 40 * (int32_t)i; /* one after the other */
    }
    ClearText();
    HideSprites();
    PrintText(1, 1, TEXT_WHITE, "SCORE");
    PrintText(12, 1, TEXT_WHITE, "TIME");
    PrintText(21, 1, TEXT_WHITE, "HI");
    PrintNumber(24, 1, TEXT_YELLOW, hiScore, 4);
    PrintStatus();

    DISPCNT = MODE_1 | OBJ_1D_MAPPING | SHOW_BG0 | SHOW_BG1 | SHOW_BG2 | SHOW_OBJ | SHOW_WIN0;
    /* Window 0: the score bar across the top, where only the text shows
     * (on the backdrop colour). Everything else is outside it. */
    WIN0H = 0 << 8 | 240;
    WIN0V = 0 << 8 | 18;
    WININ = WIN_BG0;
    WINOUT = WIN_BG0 | WIN_BG1 | WIN_BG2 | WIN_OBJ | WIN_EFFECT;
    /* The clouds (BG1) mixed 12:6 with whatever lies below them (the
     * weights may add up to more than 16: the sum is then brighter). */
    BLDCNT = BLEND_TOP_BG1 | BLEND_ALPHA | BLEND_BELOW_BG2 | BLEND_BELOW_OBJ | BLEND_BELOW_BACKDROP;
    BLDALPHA = 12 | 6 << 8;
    display.brightness = 0;
}

static void DrawChick(void) {
    SetSprite(0, OBJ_Y(CHICK_Y) | OBJ_SQUARE, OBJ_X(chickX) | OBJ_SIZE_16 | (chickFacesLeft ? OBJ_FLIP_H : 0),
              TILE_CHICK | OBJ_PRIORITY(0) | OBJ_PALETTE_BANK(BANK_CHICK));
}

static void EnterGameOver(void) {
    scene = GAME_OVER;
    sceneFrame = 0;
    StopTune();
    PlayGameOverSound();
    /* The stars go; the chick stays where the round ended. */
    HideSprites();
    DrawChick();
    PrintText(10, 7, TEXT_WHITE, "GAME OVER");
    PrintText(9, 9, TEXT_WHITE, "SCORE");
    PrintNumber(15, 9, TEXT_YELLOW, score, 4);
    if (score > hiScore) {
        hiScore = score;
        PrintText(8, 11, TEXT_YELLOW, "NEW HI-SCORE!");
        if (flashPresent) SaveHiScore(hiScore);
    }
}

static void UpdatePlay(uint16_t pressed) {
    if (pressed & KEY_SELECT) {
        EnterGameOver();
        return;
    }
    if (pressed & KEY_START) {
        scene = PAUSED;
        PrintText(12, 9, TEXT_YELLOW, "PAUSE");
        MuteSound(1);
        return;
    }

    const uint16_t held = KeysHeld;
    if ((held & KEY_LEFT) && chickX > 0) {
        chickX -= 2;
        chickFacesLeft = 1;
    }
    if ((held & KEY_RIGHT) && chickX < 224) {
        chickX += 2;
        chickFacesLeft = 0;
    }
    DrawChick();

    for (uint32_t i = 0; i < STAR_COUNT; ++i) {
        struct Star* star = &stars[i];
        star->y += star->speed;
        const int32_t dx = star->x - chickX, dy = star->y - CHICK_Y;
        if (dx > -12 && dx < 12 && dy > -12 && dy < 10) {
            ++score;
            PlayCatchSound();
            DropStar(star);
        } else if (star->y >= 160) {
            DropStar(star);
        }
        /* Twinkle: a different flip every 8 frames, offset per star. */
        const uint16_t flips = (uint16_t)(((sceneFrame / 8 + i) & 3) << 12);
        SetSprite(1 + i, OBJ_Y(star->y) | OBJ_SQUARE, OBJ_X(star->x) | OBJ_SIZE_16 | flips,
                  TILE_STAR | OBJ_PRIORITY(star->behind ? 2 : 0) | OBJ_PALETTE_BANK(BANK_STAR));
    }

    display.skyAngle = sceneFrame / 4;
    display.skyZoom = 256;
    display.cloudScroll = (uint16_t)(sceneFrame / 2);
    if (--timeLeft == 0) {
        EnterGameOver();
        return;
    }
    PrintStatus();
}

static void UpdatePaused(uint16_t pressed) {
    if (pressed & KEY_START) {
        scene = PLAY;
        PrintText(12, 9, TEXT_WHITE, "     ");
        MuteSound(0);
    }
}

static void UpdateGameOver(void) {
    display.cloudScroll = (uint16_t)(display.cloudScroll + 1);
    if (sceneFrame >= GAME_OVER_FRAMES) {
        StartTune();
        EnterTitle();
    }
}

int main(void) {
    /* Forced blank while the pictures are loaded: the hardware draws white
     * and leaves video memory to the CPU. */
    DISPCNT = 0x0080;
    LoadGraphics();
    BGCNT(0) = BG_PRIORITY(0) | BG_CHAR_BLOCK(0) | BG_SCREEN_BLOCK(TEXT_SCREEN_BLOCK);
    BGCNT(1) = BG_PRIORITY(1) | BG_CHAR_BLOCK(0) | BG_SCREEN_BLOCK(CLOUD_SCREEN_BLOCK);
    /* A 128 x 128 map that repeats in every direction as it turns. */
    BGCNT(2) = BG_PRIORITY(3) | BG_CHAR_BLOCK(SKY_CHAR_BLOCK) | BG_SCREEN_BLOCK(SKY_SCREEN_BLOCK) | BG_WRAP;
    StartSound();

    flashPresent = FindFlash();
    hiScore = flashPresent ? LoadHiScore() : 0;

    /* Interrupts: the handler's address where the BIOS looks for it, the
     * display asked to raise the vertical blank interrupt, that interrupt
     * enabled in IE, then the master switch IME and the CPU's own mask. */
    BIOS_IRQ_HANDLER = (uint32_t)IrqHandler;
    DISPSTAT = STAT_VBLANK_IRQ;
    IE = IRQ_VBLANK;
    IME = 1;
    EnableCpuInterrupts();

    EnterTitle();
    for (;;) {
        VBlankIntrWait();
        ApplyDisplay();
        const uint16_t pressed = TakePressedKeys();
        ++sceneFrame;
        switch (scene) {
        case TITLE:
            UpdateTitle(pressed);
            if (scene == PLAY) EnterPlay();
            break;
        case PLAY: UpdatePlay(pressed); break;
        case PAUSED: UpdatePaused(pressed); break;
        case GAME_OVER: UpdateGameOver(); break;
        }
        if (scene != PAUSED) UpdateMusic();
    }
}
