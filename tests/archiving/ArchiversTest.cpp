// The archiver table as the settings keep it and as every archiver list shows it.
#include "archiving/Archivers.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

constexpr std::string_view Section = "[Options]\\[Archivers]";

// Notes which control was given the focus last.
struct FocusFrontEnd : testing::ScriptedFrontEnd {
    void setFocus(Control& control) override { focused = control.name(); }
    std::string focused;
};

// Counts whole readings of the store, as a store that reads its file for every key pays them.
struct CountingStore : SettingsStore {
    std::string get(std::string_view app, std::string_view section, std::string_view key,
                    std::string_view def) const override
    {
        ++readings;
        return inner.get(app, section, key, def);
    }
    bool save(std::string_view app, std::string_view section, std::string_view key, std::string_view value) override
    {
        return inner.save(app, section, key, value);
    }
    std::unique_ptr<SettingsSection> section(std::string_view app, std::string_view section) const override
    {
        ++readings;
        return inner.section(app, section);
    }
    MemorySettingsStore inner;
    mutable int readings = 0;
};

struct ArchiverTable : ::testing::Test {
    testing::MemorySettings store;
    FocusFrontEnd fe;
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

TEST_F(ArchiverTable, ALongTableIsReadInOneReadingOfTheStoreWhateverItsLength)
{
    CountingStore counting;
    for (int n = 1; n <= 500; ++n) {
        counting.save("Quorvik", Section, "Name" + std::to_string(n), "A" + std::to_string(n));
        counting.save("Quorvik", Section, "Execute" + std::to_string(n), "arc" + std::to_string(n));
    }
    archivers::enumerate(counting, list);
    EXPECT_EQ(list.listCount(), 500u);
    EXPECT_EQ(counting.readings, 1);

    TextBox extension{form, "txtExt"};
    archivers::Chosen chosen;
    list.setListIndex(499);
    counting.readings = 0;
    archivers::choose(counting, list, "Execute", "Command", chosen, extension);
    EXPECT_EQ(chosen.program, "arc500");
    EXPECT_EQ(counting.readings, 1);
    counting.readings = 0;
    EXPECT_EQ(archivers::numberForNew(counting, 7), 501);
    EXPECT_EQ(counting.readings, 1);
}

TEST_F(ArchiverTable, AQuoteInATypedFieldIsRefusedAfterTheEmptyNameAndTheFocusGoesToIt)
{
    TextBox name{form, "txtArchive"};
    TextBox folder{form, "txtDestFolder"};
    form.load();
    form.show();
    const std::string quotes = "Название файла архива и имена папок не могут содержать кавычки (\")";
    name.setText("");
    folder.setText("\"D:\\My Files\"");
    EXPECT_FALSE(archivers::fieldsUsable(tk, name, {&name, &folder}));
    EXPECT_EQ(fe.focused, "txtArchive");
    name.setText("x\" -sdel \"y");
    EXPECT_FALSE(archivers::fieldsUsable(tk, name, {&name, &folder}));
    EXPECT_EQ(fe.focused, "txtArchive");
    name.setText("unused");
    EXPECT_FALSE(archivers::fieldsUsable(tk, name, {&name, &folder}));
    EXPECT_EQ(fe.focused, "txtDestFolder");
    ASSERT_EQ(fe.boxes.size(), 3u);
    EXPECT_EQ(fe.boxes[0].spec.text, "Введите название файла архива");
    for (std::size_t i : {1u, 2u}) {
        EXPECT_EQ(fe.boxes[i].spec.text, quotes);
        EXPECT_EQ(fe.boxes[i].spec.title, "Velmora");
        EXPECT_EQ(fe.boxes[i].spec.icon, MsgIcon::Exclamation);
        EXPECT_EQ(fe.boxes[i].spec.buttons, MsgButtons::OK);
    }
    folder.setText("D:\\My Files");
    EXPECT_TRUE(archivers::fieldsUsable(tk, name, {&name, &folder}));
}

TEST_F(ArchiverTable, ADestinationWithBlanksIsOneWordEvenWhenItEndsInASeparator)
{
    // The closing quote before the "\": a Windows program would read "\"" as a quote of the
    // text and join the next words to the folder.
    EXPECT_EQ(archivers::unpackCommand("un", "x", "C:\\a.rar", "D:\\My Files\\"),
              "un x \"C:\\a.rar\" \"D:\\My Files\"\\");
    EXPECT_EQ(archivers::unpackCommand("un", "", "C:\\a.rar", "D:\\Files\\"), "un \"C:\\a.rar\" D:\\Files\\");
    EXPECT_EQ(archivers::archivePath("C:\\Arc\\", "a", "rar"), "C:\\Arc\\a.rar");
    EXPECT_EQ(archivers::archivePath("\\", "a", "rar"), "\\a.rar") << "the current drive's root, not a network path";
}

} // namespace
} // namespace velmora
