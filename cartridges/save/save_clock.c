/* The real-time clock behind the cartridge's I/O port, driven as the games
 * that have one drive it: pin 0 is the clock's SCK, pin 1 its SIO, pin 2
 * its CS. A transfer raises CS, sends a command byte (0110, the register
 * number, and 1 to read), most significant bit first, then moves the
 * register's bytes least significant bit first, one bit per rising SCK.
 *
 * The run reads the clock and checks that its date is one and that it
 * advances; resets it; sets it to the last second of 2031 and waits for the
 * new year; sets the time in 12-hour mode. The cartridge keeps 32 KB of
 * static RAM, so its battery file is 32768 bytes and the clock's 16: the
 * next run must find the clock in 2032 (a day later it would still be). */
#include "save.h"

const char SaveTypeTag[] __attribute__((aligned(4), used)) = "SRAM_V113";

#define PORT_DATA (*(volatile uint16_t*)0x080000C4)
#define PORT_DIRECTION (*(volatile uint16_t*)0x080000C6)
#define PORT_CONTROL (*(volatile uint16_t*)0x080000C8)
#define SCK 1
#define SIO 2
#define CS 4

#define REG_RESET 0
#define REG_CONTROL 1
#define REG_DATETIME 2
#define REG_TIME 3

/* Date and time registers: year, month, day, day of week, hour, minute, second. */
enum { YEAR, MONTH, DAY, WEEKDAY, HOUR, MINUTE, SECOND };

static void Begin(uint32_t command) {
    PORT_DATA = SCK;
    PORT_DATA = SCK | CS;
    PORT_DIRECTION = SCK | SIO | CS;
    for (int bit = 7; bit >= 0; --bit) {
        const uint16_t sio = (uint16_t)((command >> bit & 1) << 1);
        PORT_DATA = sio | CS;
        PORT_DATA = sio | SCK | CS;
    }
}

static void End(void) { PORT_DATA = SCK; }

static void Read(uint32_t reg, uint8_t* bytes, uint32_t count) {
    Begin(0x60 | reg << 1 | 1);
    PORT_DIRECTION = SCK | CS; /* SIO is now the clock's */
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t value = 0;
        for (uint32_t bit = 0; bit < 8; ++bit) {
            PORT_DATA = CS;
            PORT_DATA = SCK | CS;
            value |= (uint32_t)(PORT_DATA >> 1 & 1) << bit;
        }
        bytes[i] = (uint8_t)value;
    }
    End();
}

static void Write(uint32_t reg, const uint8_t* bytes, uint32_t count) {
    Begin(0x60 | reg << 1);
    for (uint32_t i = 0; i < count; ++i) {
        for (uint32_t bit = 0; bit < 8; ++bit) {
            const uint16_t sio = (uint16_t)((bytes[i] >> bit & 1) << 1);
            PORT_DATA = sio | CS;
            PORT_DATA = sio | SCK | CS;
        }
    }
    End();
}

static uint32_t Control(void) {
    uint8_t value;
    Read(REG_CONTROL, &value, 1);
    return value;
}

static void SetControl(uint8_t value) { Write(REG_CONTROL, &value, 1); }

static uint32_t IsBcd(uint8_t value, uint32_t low, uint32_t high) {
    const uint32_t decimal = (value >> 4) * 10 + (value & 15);
    return (value >> 4) < 10 && (value & 15) < 10 && decimal >= low && decimal <= high;
}

/* A date the chip can hold, in 24-hour mode, with the PM flag from noon on. */
static uint32_t IsDate(const uint8_t* date) {
    const uint8_t hour = date[HOUR] & 0x3F;
    return IsBcd(date[YEAR], 0, 99) && IsBcd(date[MONTH], 1, 12) && IsBcd(date[DAY], 1, 31) && date[WEEKDAY] < 7 &&
           IsBcd(hour, 0, 23) && (date[HOUR] & 0x80) == (hour >= 0x12 ? 0x80 : 0) && IsBcd(date[MINUTE], 0, 59) &&
           IsBcd(date[SECOND], 0, 59);
}

/* Reads the date until `field` differs from before[field] (a bounded wait:
 * the clock follows the host's time). */
static void WaitForChange(const uint8_t* before, uint32_t field, uint8_t* after) {
    for (uint32_t tries = 0; tries < 4000000; ++tries) {
        Read(REG_DATETIME, after, 7);
        if (after[field] != before[field]) return;
    }
}

int main(void) {
    /* Write-only, the port's addresses read as the ROM's own bytes. */
    const uint16_t romDirection = PORT_DIRECTION;
    PORT_CONTROL = 1;
    PORT_DIRECTION = SCK | SIO | CS;
    CHECK(PORT_DIRECTION, SCK | SIO | CS);
    PORT_CONTROL = 0;
    CHECK(PORT_DIRECTION, romDirection);
    CHECK(romDirection != (SCK | SIO | CS), 1);
    PORT_CONTROL = 1;

    CHECK(Control(), 0x40); /* 24-hour mode, no power failure */
    uint8_t date[7], later[7];
    Read(REG_DATETIME, date, 7);
    CHECK(IsDate(date), 1);
    Phase = date[YEAR] == 0x32 && date[MONTH] == 0x01;

    WaitForChange(date, SECOND, later);
    const uint32_t step = ((later[SECOND] >> 4) * 10 + (later[SECOND] & 15) + 60 - (date[SECOND] >> 4) * 10 -
                           (date[SECOND] & 15)) % 60;
    CHECK(step == 1 || step == 2, 1);
    CHECK(IsDate(later), 1);

    /* A reset sets 2000-01-01 00:00:00 (a Saturday) and clears the control register. */
    Write(REG_RESET, date, 0);
    CHECK(Control(), 0x00);
    SetControl(0x40);
    Read(REG_DATETIME, date, 7);
    CHECK(date[YEAR] << 24 | date[MONTH] << 16 | date[DAY] << 8 | date[WEEKDAY], 0x00010106);
    CHECK(date[HOUR] << 8 | date[MINUTE], 0x0000);

    /* The last second of 2031, a Wednesday, turns into Thursday 2032-01-01. */
    const uint8_t newYearsEve[7] = {0x31, 0x12, 0x31, 0x03, 0x23 | 0x80, 0x59, 0x59};
    Write(REG_DATETIME, newYearsEve, 7);
    Read(REG_DATETIME, date, 7);
    CHECK(date[HOUR] == 0xA3 || date[HOUR] == 0x00, 1);
    WaitForChange(newYearsEve, YEAR, later);
    CHECK(later[YEAR] << 24 | later[MONTH] << 16 | later[DAY] << 8 | later[WEEKDAY], 0x32010104);
    CHECK(later[HOUR] << 8 | later[MINUTE], 0x0000);

    /* In 12-hour mode the hour counts 0-11 beside the PM flag: 3 PM is 15:00. */
    SetControl(0x00);
    const uint8_t threePm[3] = {0x03 | 0x80, 0x30, 0x00};
    Write(REG_TIME, threePm, 3);
    Read(REG_TIME, date, 3);
    CHECK(date[0] << 8 | date[1], 0x8330);
    SetControl(0x40);
    Read(REG_DATETIME, date, 7);
    CHECK(date[DAY] << 16 | date[HOUR] << 8 | date[MINUTE], 0x019530);

    /* A clock setting alone makes no battery file: save something too. */
    BACKUP[0] = 0x42;
    return 0;
}

CHECKS_END();
