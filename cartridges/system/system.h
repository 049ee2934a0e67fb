/* Registers, BIOS calls and the checking macro shared by the system test
 * cartridges (interrupts, timers, DMA, keypad, BIOS functions), and the
 * registers of the picture and sound cartridges.
 *
 * A check compares a value with the one worked out by hand and reports
 * through the result block of common/report.s. Checks are numbered in the
 * order they appear in the source file, from 1; CHECKS_END() after the last
 * one tells the result block how many the program holds, so a check must
 * not sit inside a loop (loops reduce their findings to one value first). */
#ifndef KORU_CARTRIDGE_SYSTEM_H
#define KORU_CARTRIDGE_SYSTEM_H

#include <stdint.h>

#define REG8(offset) (*(volatile uint8_t*)(0x04000000 + (offset)))
#define REG16(offset) (*(volatile uint16_t*)(0x04000000 + (offset)))
#define REG32(offset) (*(volatile uint32_t*)(0x04000000 + (offset)))

#define DISPSTAT REG16(0x004)
#define VCOUNT REG16(0x006)
#define SOUNDCNT_L REG16(0x080)
#define SOUNDCNT_H REG16(0x082)
#define SOUNDCNT_X REG16(0x084)
#define DMASAD(n) REG32(0x0B0 + 12 * (n))
#define DMADAD(n) REG32(0x0B4 + 12 * (n))
#define DMACNT_L(n) REG16(0x0B8 + 12 * (n))
#define DMACNT_H(n) REG16(0x0BA + 12 * (n))
#define TMCNT_L(n) REG16(0x100 + 4 * (n))
#define TMCNT_H(n) REG16(0x102 + 4 * (n))
#define KEYINPUT REG16(0x130)
#define KEYCNT REG16(0x132)
#define IE REG16(0x200)
#define IF REG16(0x202)
#define IME REG16(0x208)
#define HALTCNT REG8(0x301)

/* DISPSTAT: status flags and their interrupt enables. */
#define STAT_VBLANK 0x0001
#define STAT_HBLANK 0x0002
#define STAT_MATCH 0x0004
#define STAT_VBLANK_IRQ 0x0008
#define STAT_HBLANK_IRQ 0x0010
#define STAT_MATCH_IRQ 0x0020

/* IE / IF bits. */
#define IRQ_VBLANK 0x0001
#define IRQ_HBLANK 0x0002
#define IRQ_MATCH 0x0004
#define IRQ_TIMER(n) (0x0008 << (n))
#define IRQ_DMA(n) (0x0100 << (n))
#define IRQ_KEYPAD 0x1000

/* TMxCNT_H */
#define TIMER_ENABLE 0x0080
#define TIMER_IRQ 0x0040
#define TIMER_COUNT_UP 0x0004

/* DMAxCNT_H */
#define DMA_DEST_FIXED 0x0040
#define DMA_DEST_RELOAD 0x0060
#define DMA_SRC_FIXED 0x0100
#define DMA_REPEAT 0x0200
#define DMA_32 0x0400
#define DMA_NOW 0x0000
#define DMA_AT_VBLANK 0x1000
#define DMA_AT_HBLANK 0x2000
#define DMA_SPECIAL 0x3000
#define DMA_IRQ 0x4000
#define DMA_ENABLE 0x8000

/* The BIOS keeps these words at the top of internal work RAM: the flags the
 * game's interrupt handler has serviced (which IntrWait watches) and the
 * address of that handler. */
#define BIOS_IRQ_CHECK (*(volatile uint16_t*)0x03007FF8)
#define BIOS_IRQ_VECTOR (*(volatile uint32_t*)0x03007FFC)

/* irq.s: the interrupt handler counts every serviced request per IF bit,
 * notes VCOUNT and DISPSTAT at its last occurrence, acknowledges it in IF
 * and ORs it into the BIOS check word. */
extern volatile uint32_t IrqCount[14];
extern volatile uint32_t IrqLine[14];
extern volatile uint32_t IrqStatus[14];
extern volatile uint32_t IrqMode;
void IrqHandler(void);

/* irq.s: clears the CPU's own interrupt mask (CPSR bit 7). */
void CpuIrqEnable(void);

/* irq.s: BIOS calls made from THUMB code, where the SWI number is the
 * 8-bit comment field for the emulated BIOS and a real BIOS image alike.
 * The registers R0-R3 are loaded from and stored back to the array. */
void BiosSwi1(uint32_t regs[4]);  /* RegisterRamReset */
void BiosSwi4(uint32_t regs[4]);  /* IntrWait */
void BiosSwi5(uint32_t regs[4]);  /* VBlankIntrWait */
void BiosSwi6(uint32_t regs[4]);  /* Div */
void BiosSwi11(uint32_t regs[4]); /* CpuSet */
void BiosSwi12(uint32_t regs[4]); /* CpuFastSet */
void BiosSwi13(uint32_t regs[4]); /* GetBiosChecksum */
void BiosSwi14(uint32_t regs[4]); /* BgAffineSet */
void BiosSwi15(uint32_t regs[4]); /* ObjAffineSet */
void BiosSwi16(uint32_t regs[4]); /* BitUnPack */
void BiosSwi17(uint32_t regs[4]); /* LZ77UnCompWram */
void BiosSwi18(uint32_t regs[4]); /* LZ77UnCompVram */
void BiosSwi19(uint32_t regs[4]); /* HuffUnComp */
void BiosSwi20(uint32_t regs[4]); /* RLUnCompWram */
void BiosSwi21(uint32_t regs[4]); /* RLUnCompVram */
void BiosSwi22(uint32_t regs[4]); /* Diff8bitUnFilterWram */
void BiosSwi23(uint32_t regs[4]); /* Diff8bitUnFilterVram */
void BiosSwi24(uint32_t regs[4]); /* Diff16bitUnFilter */
void BiosSwi25(uint32_t regs[4]); /* SoundBias */
void BiosSwi31(uint32_t regs[4]); /* MidiKey2Freq */

static inline void VBlankIntrWait(void) {
    uint32_t regs[4] = {0, 0, 0, 0};
    BiosSwi5(regs);
}

static inline void IntrWait(uint32_t discardOld, uint32_t flags) {
    uint32_t regs[4] = {discardOld, flags, 0, 0};
    BiosSwi4(regs);
}

/* Programs a DMA channel and enables it with the given control bits. */
static inline void StartDma(uint32_t channel, const volatile void* source, const volatile void* destination,
                            uint32_t count, uint32_t control) {
    DMASAD(channel) = (uint32_t)source;
    DMADAD(channel) = (uint32_t)destination;
    DMACNT_L(channel) = (uint16_t)count;
    DMACNT_H(channel) = (uint16_t)(DMA_ENABLE | control);
}

/* Installs the counting handler, enables the given interrupts in IE (the
 * display status enables are the caller's) and unmasks them in IME and
 * the CPU. */
static inline void StartInterrupts(uint16_t enabled) {
    BIOS_IRQ_VECTOR = (uint32_t)IrqHandler;
    IE = enabled;
    IME = 1;
    CpuIrqEnable();
}

/* common/report.s */
void report_check(uint32_t got, uint32_t expected, uint32_t number);

#define CHECK(got, expected) report_check((uint32_t)(got), (uint32_t)(expected), __COUNTER__ + 1)
#define SYSTEM_STRING(x) #x
#define SYSTEM_XSTRING(x) SYSTEM_STRING(x)
#define CHECKS_END() __asm__(".global check_total\n.set check_total, " SYSTEM_XSTRING(__COUNTER__))

#endif
