#include "platform/DateTime.h"

#include <gtest/gtest.h>

using velmora::DateTime;

TEST(DateTimeText, GeneralDateTime)
{
    EXPECT_EQ(velmora::generalDateTime({2026, 12, 7, 23, 49, 51}), "07.12.2026 23:49:51");
    EXPECT_EQ(velmora::generalDateTime({2026, 2, 1, 5, 4, 3}), "01.02.2026 5:04:03");
    EXPECT_EQ(velmora::generalDateTime({2026, 2, 1, 0, 0, 0}), "01.02.2026 0:00:00");
    EXPECT_EQ(velmora::generalDateTime({999, 1, 1, 12, 0, 0}), "01.01.0999 12:00:00");
}

TEST(DateTimeText, FileTimeLeavesOutMidnight)
{
    EXPECT_EQ(velmora::generalFileTime({2026, 12, 7, 0, 0, 0}), "07.12.2026");
    EXPECT_EQ(velmora::generalFileTime({2026, 12, 7, 0, 0, 1}), "07.12.2026 0:00:01");
    EXPECT_EQ(velmora::generalFileTime({2026, 12, 7, 0, 1, 0}), "07.12.2026 0:01:00");
    EXPECT_EQ(velmora::generalFileTime({2026, 12, 7, 23, 49, 51}), "07.12.2026 23:49:51");
}

TEST(DateTimeText, OutOfRangeFieldsAreShownNotCut)
{
    const DateTime odd{-2147483647 - 1, 2147483647, -5, 99, -1, 60};
    EXPECT_EQ(velmora::generalDateTime(odd), "-5.2147483647.-2147483648 99:-1:60");
}
