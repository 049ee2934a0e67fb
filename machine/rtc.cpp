#include "machine/rtc.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "game/settings.h"
#include "machine/machine.h"

int64_t SystemClockTime() { return int64_t(std::time(nullptr)); }

namespace {

constexpr uint8_t PinSck = 1, PinSio = 2, PinCs = 4;
constexpr uint8_t Control24Hour = 0x40, ControlPowerFailure = 0x80;
constexpr uint8_t ControlWritable = 0x6A;  // interrupt bits 1, 3, 5 and the 24-hour mode
constexpr uint8_t HourPm = 0x80;           // set in the hour register from noon on
constexpr uint32_t PortBytes = ClockPortBytes;
constexpr uint32_t RomPortOffset = ClockPortAddress & 0xFF;
// About 2000 years of seconds: offsets and host times beyond it are damage,
// and would carry the calendar past the years it counts.
constexpr int64_t LongestTime = int64_t(1) << 36;

// Register number -> bytes it holds. 0 resets, 6 tests the interrupt line;
// 4, 5 and 7 (alarms, free register) keep nothing here and read as 0xFF.
constexpr uint8_t RegisterBytes[8] = {0, 1, 7, 3, 0, 0, 0, 0};
constexpr uint8_t RegisterReset = 0, RegisterControl = 1, RegisterDateTime = 2, RegisterTime = 3;

// ---- calendar: seconds since 1970-01-01 00:00 on a clock without time zones ----

using namespace std::chrono;

int64_t CivilSeconds(int y, unsigned m, unsigned d, int64_t secondOfDay) {
    const sys_days day{year{y} / month{m} / std::chrono::day{d}};
    return int64_t(day.time_since_epoch().count()) * 86400 + secondOfDay;
}

// The host's local wall time at a host time, on that same scale.
int64_t LocalSeconds(int64_t hostTime) {
    const std::time_t t = std::time_t(hostTime);
    std::tm local{};
    if (!localtime_r(&t, &local)) return hostTime;
    return CivilSeconds(local.tm_year + 1900, unsigned(local.tm_mon + 1), unsigned(local.tm_mday),
                        local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec);
}

int64_t ClockSeconds(const Machine& m) { return LocalSeconds(m.ClockHostTime()) + m.RealTimeClock.Offset; }

void SetClockSeconds(Machine& m, int64_t seconds) {
    m.RealTimeClock.Offset = seconds - LocalSeconds(m.ClockHostTime());
}

uint8_t ToBcd(unsigned value) { return uint8_t((value / 10) << 4 | value % 10); }
unsigned FromBcd(uint8_t value) { return (value >> 4) * 10 + (value & 15); }
unsigned Limit(unsigned value, unsigned low, unsigned high) { return value < low ? low : value > high ? high : value; }

// The seven date and time registers for a clock reading.
void DateRegisters(const Machine& m, int64_t seconds, uint8_t (&date)[7]) {
    const int64_t dayNumber = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const int64_t secondOfDay = seconds - dayNumber * 86400;
    const sys_days day{days{dayNumber}};
    const year_month_day ymd{day};
    const unsigned hour = unsigned(secondOfDay / 3600);
    // In 12-hour mode the hour counts 0-11 and the PM flag tells the halves;
    // the flag is set from noon on in either mode.
    const unsigned shownHour = (m.RealTimeClock.Control & Control24Hour) ? hour : hour % 12;
    date[0] = ToBcd(unsigned((int(ymd.year()) % 100 + 100) % 100));
    date[1] = ToBcd(unsigned(ymd.month()));
    date[2] = ToBcd(unsigned(ymd.day()));
    date[3] = uint8_t(weekday{day}.c_encoding());
    date[4] = uint8_t(ToBcd(shownHour) | (hour >= 12 ? HourPm : 0));
    date[5] = ToBcd(unsigned(secondOfDay / 60 % 60));
    date[6] = ToBcd(unsigned(secondOfDay % 60));
}

// Seconds of the day from the hour, minute and second registers; whatever
// is out of range is brought to the nearest value the chip can hold.
int64_t TimeOfDay(const Machine& m, const uint8_t* time) {
    unsigned hour = Limit(FromBcd(time[0] & 0x3F), 0, 23);
    if (!(m.RealTimeClock.Control & Control24Hour)) hour = hour % 12 + ((time[0] & HourPm) ? 12 : 0);
    return hour * 3600 + Limit(FromBcd(time[1] & 0x7F), 0, 59) * 60 + Limit(FromBcd(time[2] & 0x7F), 0, 59);
}

int64_t DateSeconds(const Machine& m, const uint8_t* date) {
    const int y = 2000 + int(Limit(FromBcd(date[0]), 0, 99));
    const unsigned monthNumber = Limit(FromBcd(date[1] & 0x1F), 1, 12);
    const unsigned lastDay = unsigned((year_month_day_last{year{y} / month{monthNumber} / last}).day());
    const unsigned d = Limit(FromBcd(date[2] & 0x3F), 1, lastDay);
    return CivilSeconds(y, monthNumber, d, TimeOfDay(m, date + 4));
}

// ---- the port ----

// What a read of the data register gives: the handheld's own levels on the
// pins it drives, the chip's on SIO when the handheld reads that pin.
uint8_t PortValue(const Machine& m) {
    const uint8_t driven = m.RealTimeClock.PortData & m.RealTimeClock.PortDirection;
    const uint8_t sio = (m.RealTimeClock.PortDirection & PinSio) ? 0 : uint8_t(m.RealTimeClock.Output ? PinSio : 0);
    return uint8_t((driven | sio) & 0xF);
}

// Puts the image's own bytes back where the port showed its registers.
void HidePortInRom(Machine& m) {
    if (m.ClockPort.Patched && m.ClockPort.Rom)
        std::memcpy(m.ClockPort.Rom + RomPortOffset, m.ClockPort.Bytes, PortBytes);
    m.ClockPort.Patched = false;
}

void ShowPortInRom(Machine& m) {
    if (!m.ClockPort.Rom) return;
    if (m.RealTimeClock.PortReadable) {
        const uint8_t bytes[PortBytes] = {PortValue(m), 0, uint8_t(m.RealTimeClock.PortDirection & 0xF), 0, 1, 0};
        std::memcpy(m.ClockPort.Rom + RomPortOffset, bytes, PortBytes);
        m.ClockPort.Patched = true;
    } else {
        HidePortInRom(m);
    }
}

// ---- the chip ----

void ResetChip(Machine& m) {
    m.RealTimeClock.Control = 0;
    SetClockSeconds(m, CivilSeconds(2000, 1, 1, 0));
}

void LoadRegister(Machine& m, uint8_t reg) {
    std::memset(m.RealTimeClock.Data, 0xFF, sizeof m.RealTimeClock.Data);
    if (reg == RegisterControl) {
        m.RealTimeClock.Data[0] = m.RealTimeClock.Control;
        m.RealTimeClock.Control &= uint8_t(~ControlPowerFailure);  // cleared once read
    } else if (reg == RegisterDateTime || reg == RegisterTime) {
        uint8_t date[7];
        DateRegisters(m, ClockSeconds(m), date);
        if (reg == RegisterDateTime)
            std::memcpy(m.RealTimeClock.Data, date, 7);
        else
            std::memcpy(m.RealTimeClock.Data, date + 4, 3);
    }
}

void StoreRegister(Machine& m, uint8_t reg) {
    if (reg == RegisterControl) {
        m.RealTimeClock.Control =
            uint8_t((m.RealTimeClock.Control & ControlPowerFailure) | (m.RealTimeClock.Data[0] & ControlWritable));
    } else if (reg == RegisterDateTime) {
        SetClockSeconds(m, DateSeconds(m, m.RealTimeClock.Data));
    } else if (reg == RegisterTime) {
        const int64_t now = ClockSeconds(m);
        const int64_t midnight = now - ((now % 86400) + 86400) % 86400;
        SetClockSeconds(m, midnight + TimeOfDay(m, m.RealTimeClock.Data));
    }
}

uint8_t Reversed(uint8_t value) {
    uint8_t result = 0;
    for (int bit = 0; bit < 8; ++bit) result = uint8_t(result << 1 | (value >> bit & 1));
    return result;
}

void DecodeCommand(Machine& m) {
    // The fixed pattern 0110 says which end came first; some games send the
    // command least significant bit first.
    uint8_t command = m.RealTimeClock.Command;
    if ((command & 0xF0) != 0x60) command = Reversed(command);
    m.RealTimeClock.BitCount = 0;
    if ((command & 0xF0) != 0x60) {
        m.RealTimeClock.Phase = ClockDone;
        return;
    }
    m.RealTimeClock.Command = command;
    const uint8_t reg = (command >> 1) & 7;
    if (m.Verbose & VerboseBackup) std::printf("RTC: %s register %d\n", (command & 1) ? "read" : "write", int(reg));
    if (command & 1) {
        LoadRegister(m, reg);
        m.RealTimeClock.Phase = ClockRead;
    } else if (reg == RegisterReset) {
        ResetChip(m);
        m.RealTimeClock.Phase = ClockDone;
    } else {
        std::memset(m.RealTimeClock.Data, 0, sizeof m.RealTimeClock.Data);
        m.RealTimeClock.Phase = RegisterBytes[reg] ? ClockWrite : ClockDone;
    }
}

// One rising edge of SCK while CS is high; sio is the level the handheld drives.
void ClockEdge(Machine& m, uint8_t sio) {
    const uint8_t length = RegisterBytes[(m.RealTimeClock.Command >> 1) & 7];
    switch (m.RealTimeClock.Phase) {
    case ClockCommand:
        m.RealTimeClock.Command = uint8_t(m.RealTimeClock.Command << 1 | sio);
        if (++m.RealTimeClock.BitCount == 8) DecodeCommand(m);
        break;
    case ClockRead:
        // Past the register's bytes the line stays high.
        m.RealTimeClock.Output =
            m.RealTimeClock.BitCount < 8 * length
                ? m.RealTimeClock.Data[m.RealTimeClock.BitCount / 8] >> (m.RealTimeClock.BitCount % 8) & 1
                : 1;
        if (m.RealTimeClock.BitCount < 8 * sizeof m.RealTimeClock.Data) ++m.RealTimeClock.BitCount;
        break;
    case ClockWrite:
        m.RealTimeClock.Data[m.RealTimeClock.BitCount / 8] |= uint8_t(sio << (m.RealTimeClock.BitCount % 8));
        if (++m.RealTimeClock.BitCount == 8 * length) {
            StoreRegister(m, (m.RealTimeClock.Command >> 1) & 7);
            m.RealTimeClock.Phase = ClockDone;
        }
        break;
    default: break;
    }
}

// The pins the handheld drives changed (a data or direction store).
void DrivePins(Machine& m) {
    const uint8_t pins = m.RealTimeClock.PortData & m.RealTimeClock.PortDirection & 7;
    const uint8_t before = m.RealTimeClock.Pins;
    m.RealTimeClock.Pins = pins;
    if (!(pins & PinCs)) {
        m.RealTimeClock.Phase = ClockIdle;
    } else if (!(before & PinCs)) {
        m.RealTimeClock.Phase = ClockCommand;
        m.RealTimeClock.Command = 0;
        m.RealTimeClock.BitCount = 0;
    } else if ((pins & PinSck) && !(before & PinSck)) {
        ClockEdge(m, (pins & PinSio) ? 1 : 0);
    }
}

}  // namespace

void PowerOnClock(Machine& m) {
    m.RealTimeClock = ClockState{};
    m.RealTimeClock.Control = Control24Hour;
    m.RealTimeClock.Output = 1;
    m.ClockPort.Rom = nullptr;
    m.ClockPort.Patched = false;
}

void ResetClockPort(Machine& m, uint8_t* rom) {
    HidePortInRom(m);
    m.ClockPort.Rom = rom;
    if (m.ClockPort.Rom) std::memcpy(m.ClockPort.Bytes, m.ClockPort.Rom + RomPortOffset, PortBytes);
    m.RealTimeClock.PortData = m.RealTimeClock.PortDirection = m.RealTimeClock.PortReadable = m.RealTimeClock.Pins = 0;
    m.RealTimeClock.Phase = ClockIdle;
    m.RealTimeClock.Output = 1;
}

void WriteClockPort(Machine& m, uint32_t address, uint16_t value) {
    // A game that drives the port has something behind it: the clock.
    m.RealTimeClock.Present = 1;
    switch ((address - ClockPortAddress) / 2) {
    case 0:
        m.RealTimeClock.PortData = value & 0xF;
        DrivePins(m);
        break;
    case 1:
        m.RealTimeClock.PortDirection = value & 0xF;
        DrivePins(m);
        break;
    default: m.RealTimeClock.PortReadable = value & 1; break;
    }
    ShowPortInRom(m);
}

void RefreshClockPort(Machine& m) {
    // The image still holds whatever the port showed before; put its own
    // bytes back first so that they are what a write-only port shows.
    HidePortInRom(m);
    ShowPortInRom(m);
}

bool ClockStateIsValid(const ClockState& state) {
    if (state.Present > 1 || state.PortData > 15 || state.PortDirection > 15 || state.PortReadable > 1 ||
        state.Pins > 7 || state.Phase > ClockLastPhase || state.Output > 1)
        return false;
    if (state.Offset <= -LongestTime || state.Offset >= LongestTime) return false;
    const uint8_t length = RegisterBytes[(state.Command >> 1) & 7];
    switch (state.Phase) {
    case ClockCommand: return state.BitCount < 8;
    case ClockRead: return state.BitCount <= 8 * sizeof state.Data;
    case ClockWrite: return state.BitCount < 8 * length;
    default: return true;
    }
}

void ReadClockDate(const Machine& m, uint8_t (&date)[7]) { DateRegisters(m, ClockSeconds(m), date); }

void WriteClockTrailer(const Machine& m, uint8_t* trailer, int64_t hostTime) {
    uint8_t date[7];
    DateRegisters(m, LocalSeconds(hostTime) + m.RealTimeClock.Offset, date);
    std::memcpy(trailer, date, 7);
    trailer[7] = m.RealTimeClock.Control;
    for (int i = 0; i < 8; ++i) trailer[8 + i] = uint8_t(uint64_t(hostTime) >> (8 * i));
}

void ReadClockTrailer(Machine& m, const uint8_t* trailer) {
    m.RealTimeClock.Present = 1;
    m.RealTimeClock.Control = trailer[7] & (ControlWritable | ControlPowerFailure);
    int64_t hostTime = 0;
    for (int i = 0; i < 8; ++i) hostTime |= int64_t(uint64_t(trailer[8 + i]) << (8 * i));
    const unsigned month = FromBcd(trailer[1]), day = FromBcd(trailer[2]);
    // Bytes that hold no date leave the clock on the host's time.
    const bool isDate = month >= 1 && month <= 12 && day >= 1 && day <= 31 && (trailer[0] & 15) < 10;
    const bool isTime = hostTime > 0 && hostTime < LongestTime;
    m.RealTimeClock.Offset = isDate && isTime ? DateSeconds(m, trailer) - LocalSeconds(hostTime) : 0;
}
