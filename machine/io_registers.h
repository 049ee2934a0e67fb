#pragma once
// The I/O registers at 0x04000000: their storage IoRegs (read directly by
// the CPU through the read map) and the write path that carries each
// register's side effects. Also the machine's power-on reset.

#include <cstdint>

#include "machine/machine.h"

// Register offsets from 0x04000000, named as in the hardware documentation.
namespace Io {
inline constexpr uint32_t DISPCNT = 0x000;
inline constexpr uint32_t DISPSTAT = 0x004;
inline constexpr uint32_t VCOUNT = 0x006;
inline constexpr uint32_t BG0CNT = 0x008;
inline constexpr uint32_t BG1CNT = 0x00A;
inline constexpr uint32_t BG2CNT = 0x00C;
inline constexpr uint32_t BG3CNT = 0x00E;
inline constexpr uint32_t BG0HOFS = 0x010;  // then BG0VOFS, BG1HOFS ... BG3VOFS
inline constexpr uint32_t BG2PA = 0x020;
inline constexpr uint32_t BG2PB = 0x022;
inline constexpr uint32_t BG2PC = 0x024;
inline constexpr uint32_t BG2PD = 0x026;
inline constexpr uint32_t BG2X_L = 0x028;
inline constexpr uint32_t BG2X_H = 0x02A;
inline constexpr uint32_t BG2Y_L = 0x02C;
inline constexpr uint32_t BG2Y_H = 0x02E;
inline constexpr uint32_t BG3PA = 0x030;
inline constexpr uint32_t BG3PB = 0x032;
inline constexpr uint32_t BG3PC = 0x034;
inline constexpr uint32_t BG3PD = 0x036;
inline constexpr uint32_t BG3X_L = 0x038;
inline constexpr uint32_t BG3X_H = 0x03A;
inline constexpr uint32_t BG3Y_L = 0x03C;
inline constexpr uint32_t BG3Y_H = 0x03E;
inline constexpr uint32_t WIN0H = 0x040;
inline constexpr uint32_t WIN1H = 0x042;
inline constexpr uint32_t WIN0V = 0x044;
inline constexpr uint32_t WIN1V = 0x046;
inline constexpr uint32_t WININ = 0x048;
inline constexpr uint32_t WINOUT = 0x04A;
inline constexpr uint32_t MOSAIC = 0x04C;
inline constexpr uint32_t BLDCNT = 0x050;
inline constexpr uint32_t BLDALPHA = 0x052;
inline constexpr uint32_t BLDY = 0x054;
inline constexpr uint32_t SOUND1CNT_L = 0x060;  // first of the sound registers
inline constexpr uint32_t SOUNDCNT_H = 0x082;
inline constexpr uint32_t SOUNDCNT_X = 0x084;
inline constexpr uint32_t SOUNDBIAS = 0x088;
inline constexpr uint32_t WAVE_RAM = 0x090;
inline constexpr uint32_t FIFO_A = 0x0A0;   // first register past them
inline constexpr uint32_t DMA0SAD = 0x0B0;  // four 12-byte channel blocks follow
inline constexpr uint32_t DMA0CNT_H = 0x0BA;
inline constexpr uint32_t DMA3CNT_H = 0x0DE;
inline constexpr uint32_t TM0CNT_L = 0x100;  // four 4-byte timer blocks follow
inline constexpr uint32_t SIODATA32 = 0x120;
inline constexpr uint32_t SIOCNT = 0x128;
inline constexpr uint32_t SIODATA8 = 0x12A;
inline constexpr uint32_t KEYINPUT = 0x130;
inline constexpr uint32_t KEYCNT = 0x132;
inline constexpr uint32_t RCNT = 0x134;
inline constexpr uint32_t IE = 0x200;
inline constexpr uint32_t IF = 0x202;
inline constexpr uint32_t WAITCNT = 0x204;
inline constexpr uint32_t IME = 0x208;
inline constexpr uint32_t POSTFLG = 0x300;
inline constexpr uint32_t HALTCNT = 0x300;  // the high byte of the halfword at 0x300
inline constexpr uint32_t MEMCNT = 0x800;   // repeated in every 64 KB of the I/O area
}  // namespace Io

// KEYINPUT's ten key bits (0 = pressed); bits 10-15 always read 0.
inline constexpr uint16_t KeyMask = 0x03FF;

// The registers as stored: what the CPU's loads read. Stores that bypass
// the write path are for the hardware's own changes (VCOUNT, IF, ...).
inline uint16_t ReadIoHalf(const Machine& m, uint32_t offset) { return LoadLittle<uint16_t>(m.Io.data() + offset); }
inline void StoreIoHalf(Machine& m, uint32_t offset, uint16_t value) {
    StoreLittle<uint16_t>(m.Io.data() + offset, value);
}
inline uint32_t ReadIoWord(const Machine& m, uint32_t offset) { return LoadLittle<uint32_t>(m.Io.data() + offset); }
inline void StoreIoWord(Machine& m, uint32_t offset, uint32_t value) {
    StoreLittle<uint32_t>(m.Io.data() + offset, value);
}

// A 16-bit store anywhere in 0x04000000-0x04FFFFFF. The registers fill
// 0x04000000-0x040003FF; above them only MEMCNT answers, at 0x0800 of
// every 64 KB, and stores anywhere else change nothing.
void WriteIoRegister(Machine& m, uint32_t address, uint16_t value);

// A byte store to 0x04000000-0x04FFFFFF.
void WriteIoByte(Machine& m, uint32_t address, uint8_t value);

// Puts the CPU, the registers and the derived hardware state into their
// power-on state (with or without a BIOS image). DMA, sound, window and
// timer registers, and all memories, keep what they hold.
void ResetHardware(Machine& m);
