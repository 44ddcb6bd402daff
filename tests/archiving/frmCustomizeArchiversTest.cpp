// The archiver table editor: the list, what choosing and typing store, adding and reloading.
#include "archiving/frmCustomizeArchivers.h"
#include "archiving/Archivers.h"

#include "core/frmCustom.h"
#include "support/ProgramHarness.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

// Name, Execute, Extention, Command, Unpack, ExecUn.
using Record = std::vector<std::string>;

const Record Rar{"RAR", "C:\\RAR\\rar.exe", "RAR", "a -r", "x -y", "C:\\RAR\\unrar.exe"};
const Record Zip{"ZIP", "C:\\ZIP\\zip.exe", "ZIP", "-r", "-o", "C:\\ZIP\\unzip.exe"};
const Record Arj{"ARJ", "arj.exe", "ARJ", "a", "e", "arj.exe"};
const std::string NewName = "Новый архиватор";

class ArchiverEditor : public ::testing::Test {
protected:
    void put(int n, const Record& r)
    {
        for (std::size_t i = 0; i < r.size(); ++i) archivers::save(h.settings, archivers::Fields[i], n, r[i]);
    }
    Record record(int n) const
    {
        Record r;
        for (auto field : archivers::Fields) r.push_back(archivers::read(h.settings, field, n));
        return r;
    }
    // The fields in the record's order.
    static Record shown(const frmCustomizeArchivers& w)
    {
        return {w.txtCap.text(),        w.txtPathToFile.text(), w.txtExt.text(),
                w.txtAddCommand.text(), w.txtUnPack.text(),     w.txtPath2.text()};
    }
    static std::vector<bool> enabled(const frmCustomizeArchivers& w)
    {
        std::vector<bool> on;
        for (const Control* c :
             std::initializer_list<const Control*>{&w.fraMisc, &w.fraAdd, &w.fraUnPack, &w.txtCap, &w.txtExt,
                                                   &w.txtPathToFile, &w.txtAddCommand, &w.txtPath2, &w.txtUnPack})
            on.push_back(c->enabled());
        return on;
    }
    frmCustomizeArchivers& open()
    {
        h.settings.saveLog.clear();
        w = std::make_unique<frmCustomizeArchivers>(h.tk, h.services);
        w->load();
        return *w;
    }
    static std::string nameSaved(int n) { return "[Options]\\[Archivers]/Name" + std::to_string(n) + "=" + NewName; }

    testsupport::ProgramHarness h;
    std::unique_ptr<frmCustomizeArchivers> w;
};

TEST_F(ArchiverEditor, ListsTheTableUpToTheFirstGapAndShowsTheFirstArchiver)
{
    put(1, Rar);
    put(2, Zip);
    put(4, Arj);
    auto& e = open();
    EXPECT_EQ(e.caption(), "Настройка архиваторов");
    EXPECT_EQ(e.cboArchivers.items(), (std::vector<std::string>{"# 1 RAR", "# 2 ZIP"}));
    EXPECT_EQ(e.cboArchivers.listIndex(), 0);
    EXPECT_EQ(shown(e), Rar);
    EXPECT_EQ(enabled(e), std::vector<bool>(9, true));
}

TEST_F(ArchiverEditor, AnEntryChoosesTheArchiverOfItsNumberNotOfTheDigitsInItsName)
{
    for (int n = 1; n <= 17; ++n) put(n, {"A" + std::to_string(n), "a" + std::to_string(n) + ".exe", "", "", "", ""});
    put(1, {"7zip", "7z.exe", "7Z", "a", "x", "7z.exe"});
    auto& e = open();
    EXPECT_EQ(e.cboArchivers.list(0), "# 1 7zip");
    EXPECT_EQ(shown(e), (Record{"7zip", "7z.exe", "7Z", "a", "x", "7z.exe"}));
    e.cboArchivers.choose(11);
    EXPECT_EQ(e.selectedNumber(), 12);
    EXPECT_EQ(shown(e), (Record{"A12", "a12.exe", "", "", "", ""}));
}

TEST_F(ArchiverEditor, ChoosingArchiversAndClosingLeavesEveryRecordAsItWas)
{
    put(1, Rar);
    put(2, Zip);
    archivers::save(h.settings, "Name", 3, "ARJ"); // its other fields absent
    auto& e = open();
    e.cboArchivers.choose(2);
    e.cboArchivers.choose(1);
    e.cboArchivers.choose(0);
    EXPECT_FALSE(h.settings.saveLog.empty()) << "filling the fields stored the records";
    e.cmdClose.click();
    EXPECT_FALSE(e.isLoaded());
    EXPECT_EQ(record(1), Rar);
    EXPECT_EQ(record(2), Zip);
    EXPECT_EQ(record(3), (Record{"ARJ", "", "", "", "", ""}));
}

TEST_F(ArchiverEditor, TypingStoresTheWholeRecordAtOnceAndClosingKeepsIt)
{
    put(1, Rar);
    auto& e = open();
    h.settings.saveLog.clear();
    e.txtExt.type("7Z");
    EXPECT_EQ(h.settings.saveLog, (std::vector<std::string>{
                                      "[Options]\\[Archivers]/Name1=RAR",
                                      "[Options]\\[Archivers]/Execute1=C:\\RAR\\rar.exe",
                                      "[Options]\\[Archivers]/Extention1=7Z",
                                      "[Options]\\[Archivers]/Command1=a -r",
                                      "[Options]\\[Archivers]/Unpack1=x -y",
                                      "[Options]\\[Archivers]/ExecUn1=C:\\RAR\\unrar.exe",
                                  }));
    e.close();
    EXPECT_EQ(record(1), (Record{"RAR", "C:\\RAR\\rar.exe", "7Z", "a -r", "x -y", "C:\\RAR\\unrar.exe"}));
}

TEST_F(ArchiverEditor, AnEmptiedNameEndsTheListAtUpdateAndTheRestOfTheRecordsStay)
{
    put(1, Rar);
    put(2, Zip);
    put(3, Arj);
    auto& e = open();
    e.cboArchivers.choose(1);
    e.txtCap.type("");
    e.cmdUpdate.click();
    EXPECT_EQ(e.cboArchivers.items(), std::vector<std::string>{"# 1 RAR"});
    EXPECT_EQ(e.cboArchivers.listIndex(), -1) << "the chosen position is gone";
    EXPECT_EQ(e.selectedNumber(), 0);
    EXPECT_EQ(shown(e), Record(6));
    EXPECT_EQ(enabled(e), std::vector<bool>(9, false));
    EXPECT_EQ(record(2), (Record{"", "C:\\ZIP\\zip.exe", "ZIP", "-r", "-o", "C:\\ZIP\\unzip.exe"}));
    EXPECT_EQ(record(3), Arj);
}

TEST_F(ArchiverEditor, AddInTheMiddleTakesAFreeNumberAndUpdateKeepsThePosition)
{
    put(1, Rar);
    put(2, Zip);
    put(3, Arj);
    auto& e = open();
    e.cboArchivers.choose(1);
    h.settings.saveLog.clear();
    e.cmdAdd.click();
    EXPECT_EQ(h.settings.saveLog, std::vector<std::string>{nameSaved(4)}) << "archiver 3 is not overwritten";
    EXPECT_EQ(e.cboArchivers.listCount(), 3u);
    EXPECT_EQ(e.cboArchivers.listIndex(), 1);
    EXPECT_EQ(shown(e), Zip);

    archivers::save(h.settings, "Command", 2, "-r -9"); // changed behind the window's back
    e.cmdUpdate.click();
    EXPECT_EQ(e.cboArchivers.items(), (std::vector<std::string>{"# 1 RAR", "# 2 ZIP", "# 3 ARJ", "# 4 " + NewName}));
    EXPECT_EQ(e.cboArchivers.listIndex(), 1);
    EXPECT_EQ(shown(e), (Record{"ZIP", "C:\\ZIP\\zip.exe", "ZIP", "-r -9", "-o", "C:\\ZIP\\unzip.exe"}));
}

TEST_F(ArchiverEditor, AnEmptyTableTakesNoTypingAndAddCreatesArchiverOne)
{
    auto& e = open();
    EXPECT_TRUE(e.cboArchivers.items().empty());
    EXPECT_EQ(enabled(e), std::vector<bool>(9, false));
    e.txtCap.type("RAR");
    e.timEnable_Timer();
    EXPECT_EQ(e.txtCap.text(), "");
    EXPECT_EQ(enabled(e), std::vector<bool>(9, false));

    e.cmdAdd.click();
    EXPECT_EQ(h.settings.saveLog, std::vector<std::string>{nameSaved(1)});
    EXPECT_TRUE(e.cboArchivers.items().empty()) << "listed only after an update";
    e.cmdUpdate.click();
    EXPECT_EQ(e.cboArchivers.items(), std::vector<std::string>{"# 1 " + NewName});
    EXPECT_EQ(e.cboArchivers.listIndex(), 0);
    EXPECT_EQ(shown(e), (Record{NewName, "", "", "", "", ""}));
    EXPECT_EQ(enabled(e), std::vector<bool>(9, true));
    e.timEnable_Timer();
    EXPECT_EQ(enabled(e), std::vector<bool>(9, true));
    EXPECT_EQ(e.timEnable.interval(), 100);
}

} // namespace
} // namespace velmora

namespace velmora {
namespace {

TEST(ArchiverEditorWiring, OpensOverTheSettingsDialogFromItsButton)
{
    testsupport::ProgramHarness h;
    h.start();
    Form* owner = nullptr;
    h.fe.onModal = [&](Form& form) {
        if (auto* dialog = dynamic_cast<frmCustom*>(&form)) {
            dialog->optOp[1].click();
            dialog->cmdArchivers.click();
            dialog->cmdCancel.click();
        } else if (auto* editor = dynamic_cast<frmCustomizeArchivers*>(&form)) {
            owner = editor->owner();
            editor->cmdAdd.click();
            editor->cmdClose.click();
        }
    };
    h.main().cmdMainFuncCust.click();
    EXPECT_NE(dynamic_cast<frmCustom*>(owner), nullptr);
    EXPECT_EQ(archivers::read(h.settings, "Name", 1), "Новый архиватор");
}

} // namespace
} // namespace velmora
