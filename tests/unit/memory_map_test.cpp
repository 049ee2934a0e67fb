#include <gtest/gtest.h>

#include "machine/page_table.h"
#include "tests/support/test_machine.h"

TEST(MemoryMap, InternalWorkRamMirrorsAcrossItsRegion) {
    TestMachine machine;
    machine.Write32(0x03007FFC, 0x12345678);
    EXPECT_EQ(machine.Read32(0x03FFFFFC), 0x12345678u);
}
