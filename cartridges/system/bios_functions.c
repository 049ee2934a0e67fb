/* The BIOS functions: copies, rotation-scaling matrices, decompression,
 * unpacking and filters, the sound helpers, the checksum and the register
 * reset, called from THUMB code. Div, DivArm, Sqrt, ArcTan and ArcTan2 are
 * the mGBA suite's BIOS math tests (tests/cartridges).
 *
 * The expected matrices follow the BIOS's own units: an angle of 0x10000
 * is a full turn, results are truncated toward zero, and pi is taken as
 * 3.1415926, which leaves the sine of a quarter turn a hair above -1 (-255
 * rather than -256 at scale 1.0). The decompression data come from
 * tools/gba_compress.cpp, an encoder of our own, and must decode to its
 * plain block. */
#include "system.h"

#define PLAIN_SIZE 1024
extern const uint8_t CompressPlain[PLAIN_SIZE];
extern const uint8_t CompressLz77[];
extern const uint8_t CompressRunLength[];
extern const uint8_t CompressHuffman8[];
extern const uint8_t CompressHuffman4[];

static uint32_t Regs[4];

static void Load(uint32_t r0, uint32_t r1, uint32_t r2, uint32_t r3) {
    Regs[0] = r0;
    Regs[1] = r1;
    Regs[2] = r2;
    Regs[3] = r3;
}

static const uint32_t Source[8] = {0x11111111, 0x22222222, 0x33333333, 0x44444444,
                                   0x55555555, 0x66666666, 0x77777777, 0x88888888};
static volatile uint32_t Copy[10];

static void ClearCopy(void) {
    for (uint32_t i = 0; i < 10; ++i) Copy[i] = 0xEEEEEEEE;
}

static void Copies(void) {
    const volatile uint16_t* const copy16 = (const volatile uint16_t*)Copy;

    /* CpuSet: 5 halfwords. */
    ClearCopy();
    Load((uint32_t)Source, (uint32_t)Copy, 5, 0);
    BiosSwi11(Regs);
    CHECK(copy16[0], 0x1111);
    CHECK(copy16[4], 0x3333);
    CHECK(copy16[5], 0xEEEE);

    /* 3 words, to a destination rounded down to the word; then a halfword
     * fill of 3 (bit 24) and a count of 0, which writes nothing. */
    ClearCopy();
    Load((uint32_t)Source, (uint32_t)Copy + 2, 1u << 26 | 3, 0);
    BiosSwi11(Regs);
    CHECK(Copy[0], 0x11111111);
    CHECK(Copy[2], 0x33333333);
    CHECK(Copy[3], 0xEEEEEEEE);
    Load((uint32_t)&Source[2], (uint32_t)&Copy[5], 1u << 24 | 3, 0);
    BiosSwi11(Regs);
    CHECK(Copy[6], 0xEEEE3333);
    Load((uint32_t)Source, (uint32_t)&Copy[9], 1u << 26, 0);
    BiosSwi11(Regs);
    CHECK(Copy[9], 0xEEEEEEEE);

    /* CpuFastSet moves exactly the words asked for. */
    ClearCopy();
    Load((uint32_t)Source, (uint32_t)Copy, 3, 0);
    BiosSwi12(Regs);
    CHECK(Copy[2], 0x33333333);
    CHECK(Copy[3], 0xEEEEEEEE);
    ClearCopy();
    Load((uint32_t)&Source[7], (uint32_t)Copy, 1u << 24 | 8, 0);
    BiosSwi12(Regs);
    CHECK(Copy[0], 0x88888888);
    CHECK(Copy[7], 0x88888888);
    CHECK(Copy[8], 0xEEEEEEEE);
}

struct BgAffineSource {
    int32_t centreX, centreY; /* 24.8, in the background */
    int16_t screenX, screenY;
    int16_t scaleX, scaleY; /* 8.8 */
    uint16_t angle, unused;
};

struct BgAffineDestination {
    int16_t pa, pb, pc, pd;
    int32_t x, y;
};

static const struct BgAffineSource BgSources[3] = {
    {0x8000, 0x4000, 120, 80, 0x100, 0x100, 0, 0},
    {0x8000, 0x4000, 120, 80, 0x200, 0x80, 0x2000, 0}, /* an eighth of a turn */
    {0x8000, 0x4000, 120, 80, 0, 0, 0, 0},             /* scale 0 is 1.0 */
};
static volatile struct BgAffineDestination BgResults[3];

struct ObjAffineSource {
    int16_t scaleX, scaleY;
    uint16_t angle, unused;
};

static const struct ObjAffineSource ObjSources[3] = {
    {0x100, 0x200, 0x1000, 0}, {0x180, 0x100, 0xC000, 0}, {0x100, 0x100, 0x4000, 0}};
static volatile int16_t ObjResults[12];

static void Affine(void) {
    /* Start = centre - screen x (PA, PC) - screen y (PB, PD): with scale
     * 1 and no turn, 0x8000 - 120 x 256 = 0x800 and 0x4000 - 80 x 256 =
     * -0x1000. At an eighth of a turn with scales 2 and 0.5:
     * PA = 362, PB = -362, PC = 90, PD = 90. */
    static const int32_t Bg[3][6] = {
        {0x100, 0, 0, 0x100, 0x800, -0x1000}, {362, -362, 90, 90, 0x4770, -0x650}, {0x100, 0, 0, 0x100}};
    Load((uint32_t)BgSources, (uint32_t)BgResults, 3, 0);
    BiosSwi14(Regs);
    /* One bit for each value that came out wrong, 6 a result. */
    uint32_t wrong = 0;
    for (uint32_t i = 0; i < 3; ++i) {
        const volatile struct BgAffineDestination* const got = &BgResults[i];
        const int32_t values[6] = {got->pa, got->pb, got->pc, got->pd, got->x, got->y};
        for (uint32_t k = 0; k < (i < 2 ? 6u : 4u); ++k)
            if (values[k] != Bg[i][k]) wrong |= 1u << (6 * i + k);
    }
    CHECK(wrong, 0);

    /* ObjAffineSet with stride 2 (consecutive) and 8 (OAM's layout): PA,
     * PB, PC, PD of each source in turn. */
    static const int16_t Obj[12] = {236, -97, 195, 473, 0, 383, -255, 0, 0, -255, 255, 0};
    static const uint8_t Checked[9] = {0, 1, 2, 3, 5, 6, 8, 9, 10};
    Load((uint32_t)ObjSources, (uint32_t)ObjResults, 3, 2);
    BiosSwi15(Regs);
    wrong = 0;
    for (uint32_t i = 0; i < 9; ++i)
        if (ObjResults[Checked[i]] != Obj[Checked[i]]) wrong |= 1u << i;
    CHECK(wrong, 0);
    volatile int16_t* const oam = (volatile int16_t*)0x07000000;
    oam[2] = 0x7777;
    Load((uint32_t)ObjSources, 0x07000006, 2, 8);
    BiosSwi15(Regs);
    wrong = 0;
    for (uint32_t i = 0; i < 6; ++i)
        if (oam[3 + 4 * Checked[i]] != Obj[Checked[i]]) wrong |= 1u << i;
    CHECK(wrong, 0);
    CHECK(oam[2], 0x7777);
}

/* The first position where the output differs from the plain block, or
 * PLAIN_SIZE when all agree; the byte after the block must be untouched. */
static uint32_t FirstDifference(const volatile uint8_t* output) {
    for (uint32_t i = 0; i < PLAIN_SIZE; ++i)
        if (output[i] != CompressPlain[i]) return i;
    return output[PLAIN_SIZE] == 0xEE ? PLAIN_SIZE : PLAIN_SIZE + 1;
}

static void Prepare(volatile uint8_t* output) {
    volatile uint16_t* const output16 = (volatile uint16_t*)output;
    for (uint32_t i = 0; i < PLAIN_SIZE / 2 + 16; ++i) output16[i] = 0xEEEE;
}

static void Decompress(void (*function)(uint32_t*), const uint8_t* stream, volatile uint8_t* output) {
    Prepare(output);
    Load((uint32_t)stream, (uint32_t)output, 0, 0);
    function(Regs);
}

/* One literal 'A', then a reference one byte back of length 18: 19 'A's. */
static const uint8_t Lz77Run[8] __attribute__((aligned(4))) = {0x10, 19, 0, 0, 0x40, 'A', 0xF0, 0x00};
/* Type nibble 4 is no compression at all: nothing is written. */
static const uint8_t WrongType[8] __attribute__((aligned(4))) = {0x40, 8, 0, 0, 1, 2, 3, 4};

static void Decompression(void) {
    volatile uint8_t* const work = (volatile uint8_t*)0x02000000;
    volatile uint8_t* const video = (volatile uint8_t*)0x06000000;
    /* Each decoder into work RAM and, in its VRAM form (halfword writes),
     * into video memory. */
    static const struct {
        void (*swi)(uint32_t*);
        const uint8_t* stream;
        uint32_t video;
    } Streams[] = {{BiosSwi17, CompressLz77, 0},      {BiosSwi18, CompressLz77, 1},
                   {BiosSwi20, CompressRunLength, 0}, {BiosSwi21, CompressRunLength, 1},
                   {BiosSwi19, CompressHuffman8, 0},  {BiosSwi19, CompressHuffman4, 0}};
    uint32_t wrong = 0;
    for (uint32_t i = 0; i < sizeof Streams / sizeof Streams[0]; ++i) {
        volatile uint8_t* const output = Streams[i].video ? video : work;
        Decompress(Streams[i].swi, Streams[i].stream, output);
        if (FirstDifference(output) != PLAIN_SIZE) wrong |= 1u << i;
    }
    CHECK(wrong, 0);

    Decompress(BiosSwi17, Lz77Run, work);
    uint32_t as = 0;
    for (uint32_t i = 0; i < 20; ++i) as += work[i] == 'A';
    CHECK(as, 19);
    CHECK(work[19], 0xEE);
    Decompress(BiosSwi17, WrongType, work);
    CHECK(work[0], 0xEE);
}

/* The unpack information of BitUnPack: source length in bytes, source and
 * destination unit widths in bits, then the offset (bits 0-30) that is
 * added to every non-zero unit, and to zero units too when bit 31 is set. */
struct UnpackInfo {
    uint16_t length;
    uint8_t sourceBits, destinationBits;
    uint32_t offset;
};

static const uint8_t Mono[2] = {0xB1, 0x0F};
static const struct UnpackInfo UnpackInfos[4] = {
    {2, 1, 4, 0}, {2, 1, 4, 0x80000002}, {1, 4, 16, 0x1234}, {1, 1, 1, 0}};

static void Unpack(const uint8_t* source, uint32_t info) {
    ClearCopy();
    Load((uint32_t)source, (uint32_t)Copy, (uint32_t)&UnpackInfos[info], 0);
    BiosSwi16(Regs);
}

static void Unpacking(void) {
    /* Units are taken from bit 0 of each source byte up and packed from
     * bit 0 of each output word up: 0xB1 is 1, 0, 0, 0, 1, 1, 0, 1. */
    Unpack(Mono, 0);
    CHECK(Copy[0], 0x10110001);
    CHECK(Copy[2], 0xEEEEEEEE);
    /* The offset goes on zero units too with bit 31 set. */
    Unpack(Mono, 1);
    CHECK(Copy[0], 0x32332223);
    CHECK(Copy[1], 0x22223333);
    /* Eight 1-bit units make no whole word: nothing is written. */
    Unpack(Mono, 3);
    CHECK(Copy[0], 0xEEEEEEEE);

    /* The difference filters: a header with the size in bits 8-31, the
     * first unit as it is, then the differences (wrapping at the width). */
    static const uint8_t Diff8[12] __attribute__((aligned(4))) = {0x81, 6, 0, 0, 0x10, 0x01, 0xFF, 0x05, 0x80, 0x01};
    static const uint16_t Diff16[6] __attribute__((aligned(4))) = {0x0882, 0, 0x1000, 0x0001, 0xFFFF, 0x8000};
    volatile uint8_t* const work = (volatile uint8_t*)0x02000000;
    volatile uint16_t* const video = (volatile uint16_t*)0x06000000;
    Prepare(work);
    Load((uint32_t)Diff8, (uint32_t)work, 0, 0);
    BiosSwi22(Regs);
    CHECK(work[0] | work[1] << 8 | work[2] << 16 | work[3] << 24, 0x15101110);
    CHECK(work[4] | work[5] << 8 | work[6] << 16, 0xEE9695);
    /* The VRAM form writes the same bytes in halfwords. */
    Prepare((volatile uint8_t*)video);
    Load((uint32_t)Diff8, (uint32_t)video, 0, 0);
    BiosSwi23(Regs);
    CHECK(video[2], 0x9695);
    CHECK(video[3], 0xEEEE);
    Prepare(work);
    Load((uint32_t)Diff16, (uint32_t)work, 0, 0);
    BiosSwi24(Regs);
    const volatile uint16_t* const work16 = (const volatile uint16_t*)work;
    CHECK(work16[3], 0x9000);
    CHECK(work16[4], 0xEEEE);
}

/* A sample's header as the sound driver keeps it: its playback rate at
 * MIDI key 180, times 1024, in the word at +4. */
static const uint32_t Wave[2] = {0, 22050 << 10};

static void SoundHelpers(void) {
    /* MidiKey2Freq: rate x 2^((key + fine / 256 - 180) / 12), worked in the
     * BIOS's fixed point (semitone ratios as 1.31 numbers, interpolated by
     * the fine adjustment); keys above 178 act as 178 at fine 255. */
    static const uint32_t Keys[6][2] = {{60, 0}, {69, 0}, {60, 128}, {127, 64}, {0, 0}, {180, 0}};
    static const uint32_t Rates[6] = {22050, 37083, 22705, 1072921, 689, 21307254};
    uint32_t wrong = 0;
    for (uint32_t i = 0; i < 6; ++i) {
        Load((uint32_t)Wave, Keys[i][0], Keys[i][1], 0);
        BiosSwi31(Regs);
        if (Regs[0] != Rates[i]) wrong |= 1u << i;
    }
    CHECK(wrong, 0);

    /* SoundBias moves the bias level (bits 0-9) to 0x200, or to 0 for
     * R0 = 0, and keeps the sampling bits. */
    REG16(0x088) = 0x4123;
    Load(1, 0, 0, 0);
    BiosSwi25(Regs);
    CHECK(REG16(0x088), 0x4200);
    Load(0, 0, 0, 0);
    BiosSwi25(Regs);
    CHECK(REG16(0x088), 0x4000);
    REG16(0x088) = 0x0200;

    /* GetBiosChecksum: the sum of the handheld's BIOS. */
    Load(0, 0, 0, 0);
    BiosSwi13(Regs);
    CHECK(Regs[0], 0xBAAE187F);
}

static void RegisterReset(void) {
    /* RegisterRamReset's flag 0x80 puts the display, DMA, timers,
     * interrupt control and wait states back as at power-on (forced
     * blank), 0x20 the serial port, left in general-purpose mode. No
     * memory is cleared without its flag (0x01-0x10). */
    REG16(0x000) = 0x0403;  // DISPCNT: mode 3, BG2
    REG16(0x204) = 0x4317;  // WAITCNT
    REG16(0x134) = 0;       // RCNT
    REG16(0x200) = IRQ_VBLANK;
    static volatile uint32_t Kept = 0x12345678;
    uint32_t regs[4] = {0xA0, 0, 0, 0};
    BiosSwi1(regs);
    CHECK(REG16(0x000), 0x0080);
    CHECK(REG16(0x204), 0);
    CHECK(REG16(0x200), 0);
    CHECK(REG16(0x134), 0x8000);
    CHECK(Kept, 0x12345678);
}

int main(void) {
    Copies();
    Affine();
    Decompression();
    Unpacking();
    SoundHelpers();
    RegisterReset();
    return 0;
}

CHECKS_END();
