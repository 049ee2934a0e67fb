#include "machine/rtc.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "game/settings.h"

ClockState RealTimeClock{};
int64_t (*ClockHostTime)() = [] { return int64_t(std::time(nullptr)); };

namespace {

constexpr uint8_t PinSck = 1, PinSio = 2, PinCs = 4;
constexpr uint8_t Control24Hour = 0x40, ControlPowerFailure = 0x80;
constexpr uint8_t ControlWritable = 0x6A;  // interrupt bits 1, 3, 5 and the 24-hour mode
constexpr uint8_t HourPm = 0x80;           // set in the hour register from noon on
constexpr uint32_t PortBytes = 6;
constexpr uint32_t RomPortOffset = ClockPortAddress & 0xFF;
// About 2000 years of seconds: offsets and host times beyond it are damage,
// and would carry the calendar past the years it counts.
constexpr int64_t LongestTime = int64_t(1) << 36;

// Register number -> bytes it holds. 0 resets, 6 tests the interrupt line;
// 4, 5 and 7 (alarms, free register) keep nothing here and read as 0xFF.
constexpr uint8_t RegisterBytes[8] = {0, 1, 7, 3, 0, 0, 0, 0};
constexpr uint8_t RegisterReset = 0, RegisterControl = 1, RegisterDateTime = 2, RegisterTime = 3;

// The image the port lies over, and its own bytes there.
uint8_t* PortRom = nullptr;
uint8_t RomBytes[PortBytes];
bool RomPatched = false;

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

int64_t ClockSeconds() { return LocalSeconds(ClockHostTime()) + RealTimeClock.Offset; }

void SetClockSeconds(int64_t seconds) { RealTimeClock.Offset = seconds - LocalSeconds(ClockHostTime()); }

uint8_t ToBcd(unsigned value) { return uint8_t((value / 10) << 4 | value % 10); }
unsigned FromBcd(uint8_t value) { return (value >> 4) * 10 + (value & 15); }
unsigned Limit(unsigned value, unsigned low, unsigned high) { return value < low ? low : value > high ? high : value; }

// The seven date and time registers for a clock reading.
void DateRegisters(int64_t seconds, uint8_t (&date)[7]) {
    const int64_t dayNumber = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const int64_t secondOfDay = seconds - dayNumber * 86400;
    const sys_days day{days{dayNumber}};
    const year_month_day ymd{day};
    const unsigned hour = unsigned(secondOfDay / 3600);
    // In 12-hour mode the hour counts 0-11 and the PM flag tells the halves;
    // the flag is set from noon on in either mode.
    const unsigned shownHour = (RealTimeClock.Control & Control24Hour) ? hour : hour % 12;
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
int64_t TimeOfDay(const uint8_t* time) {
    unsigned hour = Limit(FromBcd(time[0] & 0x3F), 0, 23);
    if (!(RealTimeClock.Control & Control24Hour)) hour = hour % 12 + ((time[0] & HourPm) ? 12 : 0);
    return hour * 3600 + Limit(FromBcd(time[1] & 0x7F), 0, 59) * 60 + Limit(FromBcd(time[2] & 0x7F), 0, 59);
}

int64_t DateSeconds(const uint8_t* date) {
    const int y = 2000 + int(Limit(FromBcd(date[0]), 0, 99));
    const unsigned m = Limit(FromBcd(date[1] & 0x1F), 1, 12);
    const unsigned lastDay = unsigned((year_month_day_last{year{y} / month{m} / last}).day());
    const unsigned d = Limit(FromBcd(date[2] & 0x3F), 1, lastDay);
    return CivilSeconds(y, m, d, TimeOfDay(date + 4));
}

// ---- the port ----

// What a read of the data register gives: the handheld's own levels on the
// pins it drives, the chip's on SIO when the handheld reads that pin.
uint8_t PortValue() {
    const uint8_t driven = RealTimeClock.PortData & RealTimeClock.PortDirection;
    const uint8_t sio = (RealTimeClock.PortDirection & PinSio) ? 0 : uint8_t(RealTimeClock.Output ? PinSio : 0);
    return uint8_t((driven | sio) & 0xF);
}

void ShowPortInRom() {
    if (!PortRom) return;
    if (RealTimeClock.PortReadable) {
        const uint8_t bytes[PortBytes] = {PortValue(), 0, uint8_t(RealTimeClock.PortDirection & 0xF), 0, 1, 0};
        std::memcpy(PortRom + RomPortOffset, bytes, PortBytes);
        RomPatched = true;
    } else if (RomPatched) {
        std::memcpy(PortRom + RomPortOffset, RomBytes, PortBytes);
        RomPatched = false;
    }
}

// ---- the chip ----

void ResetChip() {
    RealTimeClock.Control = 0;
    SetClockSeconds(CivilSeconds(2000, 1, 1, 0));
}

void LoadRegister(uint8_t reg) {
    std::memset(RealTimeClock.Data, 0xFF, sizeof RealTimeClock.Data);
    if (reg == RegisterControl) {
        RealTimeClock.Data[0] = RealTimeClock.Control;
        RealTimeClock.Control &= uint8_t(~ControlPowerFailure);  // cleared once read
    } else if (reg == RegisterDateTime || reg == RegisterTime) {
        uint8_t date[7];
        DateRegisters(ClockSeconds(), date);
        if (reg == RegisterDateTime)
            std::memcpy(RealTimeClock.Data, date, 7);
        else
            std::memcpy(RealTimeClock.Data, date + 4, 3);
    }
}

void StoreRegister(uint8_t reg) {
    if (reg == RegisterControl) {
        RealTimeClock.Control = uint8_t((RealTimeClock.Control & ControlPowerFailure) | (RealTimeClock.Data[0] & ControlWritable));
    } else if (reg == RegisterDateTime) {
        SetClockSeconds(DateSeconds(RealTimeClock.Data));
    } else if (reg == RegisterTime) {
        const int64_t now = ClockSeconds();
        const int64_t midnight = now - ((now % 86400) + 86400) % 86400;
        SetClockSeconds(midnight + TimeOfDay(RealTimeClock.Data));
    }
}

uint8_t Reversed(uint8_t value) {
    uint8_t result = 0;
    for (int bit = 0; bit < 8; ++bit) result = uint8_t(result << 1 | (value >> bit & 1));
    return result;
}

void DecodeCommand() {
    // The fixed pattern 0110 says which end came first; some games send the
    // command least significant bit first.
    uint8_t command = RealTimeClock.Command;
    if ((command & 0xF0) != 0x60) command = Reversed(command);
    RealTimeClock.BitCount = 0;
    if ((command & 0xF0) != 0x60) {
        RealTimeClock.Phase = ClockDone;
        return;
    }
    RealTimeClock.Command = command;
    const uint8_t reg = (command >> 1) & 7;
    if (Verbose & VerboseBackup) std::printf("RTC: %s register %d\n", (command & 1) ? "read" : "write", int(reg));
    if (command & 1) {
        LoadRegister(reg);
        RealTimeClock.Phase = ClockRead;
    } else if (reg == RegisterReset) {
        ResetChip();
        RealTimeClock.Phase = ClockDone;
    } else {
        std::memset(RealTimeClock.Data, 0, sizeof RealTimeClock.Data);
        RealTimeClock.Phase = RegisterBytes[reg] ? ClockWrite : ClockDone;
    }
}

// One rising edge of SCK while CS is high; sio is the level the handheld drives.
void ClockEdge(uint8_t sio) {
    const uint8_t length = RegisterBytes[(RealTimeClock.Command >> 1) & 7];
    switch (RealTimeClock.Phase) {
    case ClockCommand:
        RealTimeClock.Command = uint8_t(RealTimeClock.Command << 1 | sio);
        if (++RealTimeClock.BitCount == 8) DecodeCommand();
        break;
    case ClockRead:
        // Past the register's bytes the line stays high.
        RealTimeClock.Output = RealTimeClock.BitCount < 8 * length ? RealTimeClock.Data[RealTimeClock.BitCount / 8] >> (RealTimeClock.BitCount % 8) & 1 : 1;
        if (RealTimeClock.BitCount < 8 * sizeof RealTimeClock.Data) ++RealTimeClock.BitCount;
        break;
    case ClockWrite:
        RealTimeClock.Data[RealTimeClock.BitCount / 8] |= uint8_t(sio << (RealTimeClock.BitCount % 8));
        if (++RealTimeClock.BitCount == 8 * length) {
            StoreRegister((RealTimeClock.Command >> 1) & 7);
            RealTimeClock.Phase = ClockDone;
        }
        break;
    default: break;
    }
}

// The pins the handheld drives changed (a data or direction store).
void DrivePins() {
    const uint8_t pins = RealTimeClock.PortData & RealTimeClock.PortDirection & 7;
    const uint8_t before = RealTimeClock.Pins;
    RealTimeClock.Pins = pins;
    if (!(pins & PinCs)) {
        RealTimeClock.Phase = ClockIdle;
    } else if (!(before & PinCs)) {
        RealTimeClock.Phase = ClockCommand;
        RealTimeClock.Command = 0;
        RealTimeClock.BitCount = 0;
    } else if ((pins & PinSck) && !(before & PinSck)) {
        ClockEdge((pins & PinSio) ? 1 : 0);
    }
}

}  // namespace

void PowerOnClock() {
    RealTimeClock = ClockState{};
    RealTimeClock.Control = Control24Hour;
    RealTimeClock.Output = 1;
    PortRom = nullptr;
    RomPatched = false;
}

void ResetClockPort(uint8_t* rom) {
    if (RomPatched && PortRom) std::memcpy(PortRom + RomPortOffset, RomBytes, PortBytes);
    RomPatched = false;
    PortRom = rom;
    if (PortRom) std::memcpy(RomBytes, PortRom + RomPortOffset, PortBytes);
    RealTimeClock.PortData = RealTimeClock.PortDirection = RealTimeClock.PortReadable = RealTimeClock.Pins = 0;
    RealTimeClock.Phase = ClockIdle;
    RealTimeClock.Output = 1;
}

void WriteClockPort(uint32_t address, uint16_t value) {
    // A game that drives the port has something behind it: the clock.
    RealTimeClock.Present = 1;
    switch ((address - ClockPortAddress) / 2) {
    case 0:
        RealTimeClock.PortData = value & 0xF;
        DrivePins();
        break;
    case 1:
        RealTimeClock.PortDirection = value & 0xF;
        DrivePins();
        break;
    default: RealTimeClock.PortReadable = value & 1; break;
    }
    ShowPortInRom();
}

void RefreshClockPort() {
    // The image still holds whatever the port showed before; put its own
    // bytes back first so that they are what a write-only port shows.
    if (RomPatched && PortRom) std::memcpy(PortRom + RomPortOffset, RomBytes, PortBytes);
    RomPatched = false;
    ShowPortInRom();
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

void ReadClockDate(uint8_t (&date)[7]) { DateRegisters(ClockSeconds(), date); }

void WriteClockTrailer(uint8_t* trailer, int64_t hostTime) {
    uint8_t date[7];
    DateRegisters(LocalSeconds(hostTime) + RealTimeClock.Offset, date);
    std::memcpy(trailer, date, 7);
    trailer[7] = RealTimeClock.Control;
    for (int i = 0; i < 8; ++i) trailer[8 + i] = uint8_t(uint64_t(hostTime) >> (8 * i));
}

void ReadClockTrailer(const uint8_t* trailer) {
    RealTimeClock.Present = 1;
    RealTimeClock.Control = trailer[7] & (ControlWritable | ControlPowerFailure);
    int64_t hostTime = 0;
    for (int i = 0; i < 8; ++i) hostTime |= int64_t(uint64_t(trailer[8 + i]) << (8 * i));
    const unsigned month = FromBcd(trailer[1]), day = FromBcd(trailer[2]);
    // Bytes that hold no date leave the clock on the host's time.
    const bool isDate = month >= 1 && month <= 12 && day >= 1 && day <= 31 && (trailer[0] & 15) < 10;
    const bool isTime = hostTime > 0 && hostTime < LongestTime;
    RealTimeClock.Offset = isDate && isTime ? DateSeconds(trailer) - LocalSeconds(hostTime) : 0;
}
