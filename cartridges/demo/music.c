/* The demo's tune and sound effects on the four programmable channels.
 *
 * The tune is four bars in C major (C, A minor, F, G) played in eighth
 * notes, one step every 12 frames (150 beats a minute), and repeated:
 *
 *   channel 2  the melody: square wave, each note fading by its envelope;
 *   channel 3  the bass, a quarter note at a time: a sawtooth from wave RAM,
 *              cut short by the channel's length counter;
 *   channel 4  the drums: low noise on beats 1 and 3, a snare on 2 and 4
 *              and a short hi-hat between them, all shaped by envelopes;
 *   channel 1  a falling "zap" at the start of every bar: a square note whose
 *              frequency sweep runs downward. The same channel plays the
 *              rising sweep when a star is caught, and the tune leaves it
 *              alone while that sounds. */
#include "demo.h"
#include "hardware.h"

#define FRAMES_PER_STEP 12
#define STEPS 32 /* 4 bars of 8 eighths */

/* MIDI note numbers: 60 is middle C, 12 to the octave; 0 is a rest. */
static const uint8_t Melody[STEPS] = {
    76, 79, 84, 79, 76, 79, 84, 86, /* C:  E G C G E G C D */
    88, 0,  84, 81, 0,  76, 81, 84, /* Am: E . C A . E A C */
    81, 0,  77, 81, 84, 0,  81, 77, /* F:  A . F A C . A F */
    79, 83, 86, 0,  83, 79, 74, 0,  /* G:  G B D . B G D . */
};
static const uint8_t Bass[STEPS / 2] = {48, 48, 55, 48, 45, 45, 52, 45, 41, 41, 48, 41, 43, 43, 50, 43};
static const uint8_t BarRoots[4] = {72, 69, 65, 67}; /* C, A, F, G for the zap */

enum Drum { KICK, HAT, SNARE };
static const uint8_t Drums[8] = {KICK, HAT, SNARE, HAT, KICK, HAT, SNARE, HAT};

/* The period 2048 - x of a square channel for the twelve notes of the
 * octave from MIDI note 36 (65.4 Hz), 131072 / frequency rounded. Each
 * octave up halves the period. */
static const uint16_t OctavePeriods[12] = {2004, 1891, 1785, 1685, 1591, 1501, 1417, 1337, 1262, 1192, 1125, 1062};

/* The rate x that makes a square channel play `note` (36 or above). */
static uint16_t SquareRate(uint32_t note) {
    const uint32_t offset = note - 36;
    return (uint16_t)(2048 - (OctavePeriods[offset % 12] >> (offset / 12)));
}

/* The wave channel plays a whole 32-sample pattern per period and so sounds
 * an octave below a square channel at the same x. */
static uint16_t WaveRate(uint32_t note) { return SquareRate(note + 12); }

static int tunePlaying;
static uint32_t musicFrame;
static uint32_t effectFrames; /* channel 1 belongs to a sound effect while nonzero */
static int effectHeld;        /* the effect has no envelope and is silenced at its end */

/* A sawtooth falling from 15 to 0 over the 32 four-bit samples, two to a
 * byte with the first in the high nibble. The pattern is written into the
 * bank that is not playing: bit 6 of SOUND3CNT_L selects the bank the
 * channel plays, and the CPU reaches the other one. */
static void LoadSawtooth(void) {
    SOUND3CNT_L = 0x0040;
    for (uint32_t i = 0; i < 8; ++i) {
        const uint32_t a = 15 - 2 * i, b = 15 - (2 * i + 1);
        /* Samples 4i .. 4i+3 are 15 - 2i, 15 - 2i, 15 - (2i+1), 15 - (2i+1). */
        WAVE_RAM(i) = (uint16_t)((a << 4 | a) | (b << 4 | b) << 8);
    }
    SOUND3CNT_L = 0x0080; /* play bank 0, the one just written */
}

void StartSound(void) {
    SOUNDCNT_X = 0x0080; /* master enable: the sound registers work from here on */
    SOUNDCNT_L = 0xFF77; /* all four channels to both speakers, both at level 7 */
    SOUNDCNT_H = 0x0002; /* the four channels at full strength in the mix */
    LoadSawtooth();
    effectFrames = 0;
    StartTune();
}

void StartTune(void) {
    tunePlaying = 1;
    musicFrame = 0;
}

void StopTune(void) { tunePlaying = 0; }

void MuteSound(int muted) { SOUNDCNT_L = muted ? 0x0000 : 0xFF77; }

static void PlayDrum(enum Drum drum) {
    /* SOUND4CNT_H: bits 0-2 divide the noise clock, bits 4-7 shift it
     * (higher is lower), bit 3 picks the short, metallic 7-bit sequence. */
    switch (drum) {
    case KICK:
        SOUND4CNT_L = ENVELOPE(13, 0, 1);
        SOUND4CNT_H = SOUND_RESTART | 7 << 4 | 5;
        break;
    case SNARE:
        SOUND4CNT_L = ENVELOPE(11, 0, 2);
        SOUND4CNT_H = SOUND_RESTART | 3 << 4 | 1;
        break;
    case HAT:
        SOUND4CNT_L = ENVELOPE(5, 0, 1);
        SOUND4CNT_H = SOUND_RESTART | 1 << 4 | 1 << 3 | 1;
        break;
    }
}

static void PlayStep(uint32_t step) {
    if (Melody[step]) {
        SOUND2CNT_L = DUTY_HALF | ENVELOPE(11, 0, 3);
        SOUND2CNT_H = SOUND_RESTART | SquareRate(Melody[step]);
    }
    if (step % 2 == 0) {
        /* Length 256 - 205 = 51 ticks of 1/256 s: about a fifth of a second. */
        SOUND3CNT_H = 0x2000 | 205; /* full output level */
        SOUND3CNT_X = SOUND_RESTART | SOUND_USE_LENGTH | WaveRate(Bass[step / 2]);
    }
    PlayDrum((enum Drum)Drums[step % 8]);
    if (step % 8 == 0 && effectFrames == 0) {
        /* Sweep: every 2/128 s the rate drops by rate >> 2. */
        SOUND1CNT_L = 2 << 4 | 1 << 3 | 2;
        SOUND1CNT_H = DUTY_QUARTER | ENVELOPE(8, 0, 1);
        SOUND1CNT_X = SOUND_RESTART | SquareRate(BarRoots[step / 8] + 12);
    }
}

void UpdateMusic(void) {
    if (tunePlaying) {
        if (musicFrame % FRAMES_PER_STEP == 0) PlayStep((musicFrame / FRAMES_PER_STEP) % STEPS);
        ++musicFrame;
    }
    if (effectFrames && --effectFrames == 0 && effectHeld) {
        SOUND1CNT_H = DUTY_HALF; /* volume 0: a new envelope value takes effect at once */
        effectHeld = 0;
    }
}

/* A caught star: a bright note sweeping upward every 1/128 s by an eighth
 * of its rate, until the rate runs past 2047 and the channel stops itself. */
void PlayCatchSound(void) {
    SOUND1CNT_L = 1 << 4 | 3;
    SOUND1CNT_H = DUTY_HALF | ENVELOPE(13, 0, 2);
    SOUND1CNT_X = SOUND_RESTART | SquareRate(84);
    effectFrames = 20;
    effectHeld = 0;
}

/* The end of a round: a slide down for a second, every 3/128 s by a
 * sixteenth of the rate, at a steady volume (envelope step 0) until it is
 * switched off. */
void PlayGameOverSound(void) {
    SOUND1CNT_L = 3 << 4 | 1 << 3 | 4;
    SOUND1CNT_H = DUTY_HALF | ENVELOPE(12, 0, 0);
    SOUND1CNT_X = SOUND_RESTART | SquareRate(79);
    effectFrames = 60;
    effectHeld = 1;
}
