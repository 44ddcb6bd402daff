// Presets, further lists, categories and the start-up mask selection.
#include "rules/Masks.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using testsupport::ProgramHarness;

TEST(JunkMasks, PresetsAndListsHoldTheirMasks)
{
    auto count = [](std::string_view list) { return std::count(list.begin(), list.end(), ';') + 1; };
    EXPECT_EQ(count(masks::Full), 18);
    EXPECT_EQ(count(masks::Compressed), 10);
    EXPECT_EQ(count(masks::Minimal), 13);
    EXPECT_EQ(count(masks::Extended), 20);
    EXPECT_EQ(masks::Extended.size(), 129u);
    EXPECT_EQ(masks::Categories[7].masks, masks::Full);
    EXPECT_EQ(masks::categoryMasks(-1), "");
}

TEST(JunkMasks, StartupSelectionTakesOnlyAnExactPresetText)
{
    EXPECT_EQ(masks::startupSelection(masks::Compressed), masks::Compressed);
    EXPECT_EQ(masks::startupSelection(masks::Minimal), masks::Minimal);
    EXPECT_EQ(masks::startupSelection(std::string(masks::Compressed) + " "), masks::Full);
    EXPECT_EQ(masks::startupSelection(masks::Extended), masks::Full);
    EXPECT_EQ(masks::startupSelection("*.tmp"), masks::Full);
}

TEST(StartupMasks, StoredPresetOrFull)
{
    for (const auto& [stored, expected] :
         std::vector<std::pair<std::string, std::string_view>>{{std::string(masks::Compressed), masks::Compressed},
                                                               {std::string(masks::Compressed) + " ", masks::Full},
                                                               {"", masks::Full}}) {
        ProgramHarness h;
        h.root.mkdir("c/TEMP");
        if (!stored.empty()) h.setOption("FilterFilesBy", stored);
        EXPECT_EQ(h.start().filFiles.pattern(), expected) << stored;
    }
}

} // namespace
} // namespace velmora
