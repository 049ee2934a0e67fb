#include <gtest/gtest.h>

#include "machine/page_table.h"

TEST(MemoryMap, Placeholder) { EXPECT_EQ(PageCount, 262144u); }
