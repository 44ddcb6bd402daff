// The archiver table as the settings keep it.
#include "archiving/Archivers.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(SettingsKeys, TheArchiverTableEndsAtTheFirstEmptyName)
{
    testing::MemorySettings store;
    const std::string section = "[Options]\\[Archivers]";
    store.save("Quorvik", section, "Name1", "RAR");
    store.save("Quorvik", section, "Execute1", "rar.exe");
    store.save("Quorvik", section, "ExecUn1", "unrar.exe");
    store.save("Quorvik", section, "Name2", "ZIP");
    store.save("Quorvik", section, "Name3", "");
    store.save("Quorvik", section, "Name4", "ARJ");
    const auto table = archivers::readTable(store);
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].execute, "rar.exe");
    EXPECT_EQ(table[0].execUn, "unrar.exe");
    EXPECT_EQ(table[1].name, "ZIP");
    EXPECT_EQ(archivers::key("Extention", 12), "Extention12");
}

} // namespace
} // namespace velmora
