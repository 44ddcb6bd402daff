// The archiver table as the settings keep it and as every archiver list shows it.
#include "archiving/Archivers.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

constexpr std::string_view Section = "[Options]\\[Archivers]";

struct ArchiverTable : ::testing::Test {
    testing::MemorySettings store;
    testing::ScriptedFrontEnd fe;
    Toolkit tk{fe};
    Form form{tk, "frmTest"};
    ComboBox list{form, "cboArchivers"};

    void name(int n, std::string_view text) { store.save("Quorvik", Section, "Name" + std::to_string(n), text); }
};

TEST_F(ArchiverTable, ListsFromOneUpToTheFirstEmptyNameWhateverLiesBeyond)
{
    name(1, "RAR");
    name(2, "7zip");
    name(4, "ARJ");
    store.save("Quorvik", Section, "Execute3", "arj.exe");
    archivers::enumerate(store, list);
    EXPECT_EQ(list.items(), (std::vector<std::string>{"# 1 RAR", "# 2 7zip"}));

    name(2, "");
    list.clear();
    archivers::enumerate(store, list);
    EXPECT_EQ(list.items(), (std::vector<std::string>{"# 1 RAR"}));
}

TEST_F(ArchiverTable, AnEntrysNumberIsTheDigitsBeforeTheNameNotTheNamesOwn)
{
    EXPECT_EQ(archivers::numberOf("# 1 7zip"), 1);
    EXPECT_EQ(archivers::numberOf("# 12 RAR 5"), 12);
    EXPECT_EQ(archivers::numberOf("# 3 "), 3);
    EXPECT_EQ(archivers::numberOf(""), 0);
    EXPECT_EQ(archivers::numberOf("#  RAR"), 0);
    EXPECT_EQ(archivers::numberOf("# 99999999999999999999 big"), 0);
    EXPECT_EQ(archivers::key("Extention", 12), "Extention12");
}

TEST_F(ArchiverTable, ANewArchiverNeverTakesTheNumberOfAnExistingOne)
{
    EXPECT_EQ(archivers::numberForNew(store, 0), 1) << "empty table";
    name(1, "RAR");
    name(2, "ZIP");
    name(4, "ARJ");
    EXPECT_EQ(archivers::numberForNew(store, 2), 3) << "after the last";
    EXPECT_EQ(archivers::numberForNew(store, 1), 3) << "in the middle: the gap after the table";
    EXPECT_EQ(archivers::numberForNew(store, 0), 3) << "none selected, archiver 1 taken";
    EXPECT_EQ(archivers::numberForNew(store, 4), 5);
    name(3, "ZOO");
    name(2, "");
    EXPECT_EQ(archivers::numberForNew(store, 1), 2) << "the gap after archiver 1";
    EXPECT_EQ(archivers::numberForNew(store, 2), 5) << "archiver 2, its name just cleared, is still being edited";
}

} // namespace
} // namespace velmora
