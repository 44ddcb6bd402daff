// The settings keys: sections, defaults and flags.

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(SettingsKeys, FlagsReadNumericallyAndTextThatIsNoNumberReadsAsTheDefault)
{
    EXPECT_EQ(settings::flagNumber("01"), 1);
    EXPECT_EQ(settings::flagNumber(" 1 "), 1);
    EXPECT_EQ(settings::flagNumber("-0"), 0);
    EXPECT_FALSE(settings::flagNumber("yes"));
    EXPECT_FALSE(settings::flagNumber(""));
    EXPECT_FALSE(settings::flagNumber("1x"));
    EXPECT_TRUE(settings::flagEquals("01", 1, 0));
    EXPECT_FALSE(settings::flagEquals("2", 1, 0)) << "only 1 switches a flag on";
    EXPECT_TRUE(settings::flagEquals("on", 1, 1));
}

TEST(SettingsKeys, FirstRunDefaults)
{
    testing::MemorySettings store;
    testing::MapEnvironment env;
    EXPECT_EQ(settings::defaultStartFolder(env), "C:\\TEMP");
    env.set("TEMP", "C:\\Temp2");
    EXPECT_EQ(settings::defaultStartFolder(env), "C:\\Temp2");
    env.set("TMP", "D:\\tmp");
    EXPECT_EQ(settings::defaultStartFolder(env), "D:\\tmp") << "computed anew at each read";
    EXPECT_FALSE(settings::alwaysSaveReport(store));
    EXPECT_EQ(settings::reportFileName(store), "report.txt");
    store.save("Quorvik", "[Options]\\[Report]", "Always Save", "01");
    EXPECT_TRUE(settings::alwaysSaveReport(store));
}

} // namespace
} // namespace velmora
