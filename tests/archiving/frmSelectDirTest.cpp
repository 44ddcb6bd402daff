// The folder chooser: its path field, where OK sends it, and drives that cannot be used.
#include "archiving/frmSelectDir.h"
#include "core/frmCustom.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using testsupport::ProgramHarness;

class FolderChooser : public ::testing::Test {
protected:
    explicit FolderChooser(const std::string& extraDrives = "") : h(extraDrives) {}
    void SetUp() override
    {
        h.root.mkdir("c/TEMP/Sub");
        h.start();
    }
    // Opens the chooser from the settings dialog and lets `act` work in it; returns the
    // dialog's start-folder field afterwards.
    std::string throughSettingsDialog(const std::function<void(frmSelectDir&)>& act)
    {
        std::string field;
        h.fe.onModal = [&](Form& form) {
            if (auto* dialog = dynamic_cast<frmCustom*>(&form)) {
                dialog->optOp[2].click();
                dialog->cmdBrowse.click();
                field = dialog->txtJumpTo.text();
                dialog->cmdCancel.click();
            } else if (auto* chooser = dynamic_cast<frmSelectDir*>(&form)) {
                act(*chooser);
            }
        };
        h.main().cmdMainFuncCust.click();
        return field;
    }
    ProgramHarness h;
};

TEST_F(FolderChooser, OkUntouchedReturnsTheDialogsFolderAndATypedPathComesBackAsTyped)
{
    h.setOption(settings::JumpOnStartup, "c:\\temp\\");
    EXPECT_EQ(throughSettingsDialog([](frmSelectDir& c) {
                  EXPECT_EQ(c.caption(), "Выбор папки");
                  EXPECT_EQ(c.txtPath.text(), "c:\\temp\\");
                  c.cmdOK.click();
              }),
              "c:\\temp\\");
    EXPECT_EQ(throughSettingsDialog([](frmSelectDir& c) {
                  c.txtPath.type("Z:\\  не проверяется ");
                  c.cmdOK.click();
              }),
              "Z:\\  не проверяется ");
    EXPECT_EQ(throughSettingsDialog([](frmSelectDir& c) {
                  c.dirFolders.setPath("C:\\TEMP\\Sub");
                  EXPECT_EQ(c.txtPath.text(), "C:\\TEMP\\Sub");
                  c.cmdCancel.click();
              }),
              "c:\\temp\\")
        << "Cancel writes nothing";
}

TEST_F(FolderChooser, OpenedForTheCompressWindowItStillShowsTheStartFolderAndTheNextCallerGetsTheNextResult)
{
    h.setOption(settings::JumpOnStartup, "C:\\Start");
    frmSelectDir& chooser = h.app->folderChooser().get();
    chooser.RarIt = true;
    EXPECT_EQ(chooser.txtPath.text(), "C:\\Start");
    chooser.txtPath.type("C:\\Archives");
    chooser.cmdOK.click();
    EXPECT_EQ(throughSettingsDialog([](frmSelectDir& c) {
                  EXPECT_FALSE(c.RarIt);
                  c.txtPath.type("C:\\Second");
                  c.cmdOK.click();
              }),
              "C:\\Second");
}

// Drives whose folders the tests make and unmake; they outlive the harness that maps them.
testsupport::TempDir& driveFolders()
{
    static testsupport::TempDir folders;
    return folders;
}

class FolderChooserDrives : public FolderChooser {
protected:
    FolderChooserDrives()
        : FolderChooser(testsupport::driveEntry('e', driveFolders().path() / "absent") + ";" +
                        testsupport::driveEntry('f', driveFolders().path() / "file"))
    {}
    testsupport::TempDir& tmp = driveFolders();
};

TEST_F(FolderChooserDrives, ADriveThatCannotBeUsedAsksRetryOrCancel)
{
    tmp.write("file", "not a folder");
    throughSettingsDialog([&](frmSelectDir& c) {
        const std::string treeBefore = c.dirFolders.path();
        const std::string pathBefore = c.txtPath.text();
        h.fe.answers = {MsgResult::Retry, MsgResult::Cancel};
        c.drvDisks.setDrive("e:");
        ASSERT_EQ(h.fe.boxes.size(), 2u) << "Retry asks again while the drive stays unusable";
        EXPECT_EQ(h.fe.boxes[0].spec.text, "Устройство недоступно (68)");
        EXPECT_EQ(h.fe.boxes[0].spec.title, "Ошибка устройства");
        EXPECT_EQ(h.fe.boxes[0].spec.buttons, MsgButtons::RetryCancel);
        EXPECT_EQ(h.fe.boxes[0].spec.icon, MsgIcon::Critical);
        EXPECT_EQ(c.drvDisks.drive().substr(0, 2), "e:") << "the box keeps the new letter";
        EXPECT_EQ(c.dirFolders.path(), treeBefore);
        EXPECT_EQ(c.txtPath.text(), pathBefore);

        h.fe.answers = {MsgResult::Cancel};
        c.drvDisks.setDrive("f:");
        EXPECT_EQ(h.fe.boxes.back().spec.text, "Диск не готов (71)");

        // The medium arrives: Retry moves the tree there.
        h.fe.onBox = [&](const MessageBoxSpec&) { tmp.mkdir("absent"); };
        h.fe.answers = {MsgResult::Retry};
        c.drvDisks.setDrive("e:");
        EXPECT_EQ(c.dirFolders.path(), "E:\\");
        EXPECT_EQ(c.txtPath.text(), "E:\\");
        h.fe.onBox = nullptr;
        c.cmdCancel.click();
    });
}

// A drive whose folder the user may not enter reads as the access error.
TEST(FolderChooserAccess, ADriveTheUserMayNotEnterIsAnAccessError)
{
    if (const auto why = testsupport::permissionBitsMissing()) GTEST_SKIP() << *why;
    if (const auto why = testsupport::plainUserMissing()) GTEST_SKIP() << *why;
    testsupport::TempDir drives;
    const auto locked = drives.mkdir("g");
    ProgramHarness h(testsupport::driveEntry('g', locked));
    h.root.mkdir("c/TEMP");
    testsupport::openTreeToEveryone(h.root.path());
    testsupport::openTreeToEveryone(drives.path());
    testsupport::setMode(locked, 0);
    EXPECT_EXIT(
        {
            if (!testsupport::dropRootPrivileges()) std::_Exit(3);
            h.start();
            frmSelectDir& chooser = h.app->folderChooser().get();
            chooser.drvDisks.setDrive("g:");
            const bool told =
                h.fe.boxes.size() == 1 &&
                h.fe.boxes[0].spec.text == "Ошибка доступа. Возможно, вы не имеете привилегий администратора (75)";
            std::_Exit(told ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    testsupport::setMode(locked, 0755);
}

} // namespace
} // namespace velmora
