// Restore from an archive: the unpacking command line, started without waiting.
#include "archiving/frmArcFrom.h"

#include "support/ProgramTests.h"

#include <gtest/gtest.h>

#include <tuple>

namespace velmora {
namespace {

class RestoreWindow : public testsupport::MainWindow {
protected:
    void SetUp() override
    {
        h.root.mkdir("c/TEMP");
        h.root.mkdir("d/My Files");
        h.setOption(settings::JumpOnStartup, "C:\\TEMP");
        h.start();
    }
    void archiver(const std::string& execUn, const std::string& unpack)
    {
        const std::string section = "[Options]\\[Archivers]";
        h.settings.save("Quorvik", section, "Name1", "RAR");
        h.settings.save("Quorvik", section, "ExecUn1", execUn);
        h.settings.save("Quorvik", section, "Unpack1", unpack);
        h.settings.save("Quorvik", section, "Extention1", "rar");
    }
    // Opens the window, types the three fields, presses OK and notes the end state.
    void restore(const std::string& archiveFolder, const std::string& name, const std::string& dest)
    {
        h.fe.onModal = [&](Form& form) {
            auto& w = dynamic_cast<frmArcFrom&>(form);
            EXPECT_EQ(w.caption(), "Восстановить из архива");
            EXPECT_EQ(w.txtDestF.text(), "D:\\Windows");
            w.txtDestFolder.type(archiveFolder);
            w.txtArchive.type(name);
            w.txtDestF.type(dest);
            w.cmdOK.click();
            shown = {w.txtDestFolder.text(), w.txtDestF.text(), w.lblProcess.caption(), w.cmdCancel.caption()};
            closeOnly = w.cmdCancel.enabled() && !w.cmdOK.enabled() && !w.txtDestF.enabled() &&
                        !w.txtDestFolder.enabled() && !w.txtArchive.enabled() && !w.cboArchivers.enabled();
            w.cmdCancel.click();
        };
        h.main().cmdRecoverIt.click();
    }
    std::vector<std::string> shown;
    bool closeOnly = false;
};

TEST_F(RestoreWindow, RootsAreCutToTheirLettersAndTheArchiverIsStartedWithoutWaiting)
{
    archiver("unrar", "x -y");
    restore("C:\\", "unused", " D:\\");
    EXPECT_EQ(shown, (std::vector<std::string>{"C:", "D:", "Этап 3. Процесс завершен", "&Закрыть"}));
    EXPECT_TRUE(closeOnly);
    EXPECT_EQ(h.processes.started, std::vector<std::string>{"unrar x -y \"C:\\unused.rar\" D:"});
    EXPECT_EQ(h.fs->currentFolder('c'), "C:\\TEMP");
    EXPECT_TRUE(h.fe.boxes.empty());

    // An empty unpack command leaves one blank; a destination with blanks stays one word.
    archiver("unrar", "");
    restore("C:\\Arc", "old", "D:\\My Files");
    EXPECT_EQ(h.processes.started.back(), "unrar \"C:\\Arc\\old.rar\" \"D:\\My Files\"");
    restore("C:\\Arc\\", "old", "D:\\My Files\\");
    EXPECT_EQ(h.processes.started.back(), "unrar \"C:\\Arc\\old.rar\" \"D:\\My Files\"\\");
    // No destination: the folder shown, where the unpacker works, named as its last word.
    restore("C:\\Arc", "old", "");
    EXPECT_EQ(h.processes.started.back(), "unrar \"C:\\Arc\\old.rar\" C:\\TEMP");

    // A failed start is not reported: the window still ends its run.
    h.processes.fail = true;
    restore("C:\\Arc", "old", "D:\\");
    EXPECT_EQ(shown[2], "Этап 3. Процесс завершен");
    EXPECT_TRUE(h.fe.boxes.empty());
}

TEST_F(RestoreWindow, AnEmptyArchiveNameOnlyAsksForOne)
{
    archiver("unrar", "x");
    restore("C:\\Arc", "", "D:\\");
    EXPECT_EQ(shown[2], "Этап 1. Задание параметров");
    ASSERT_EQ(h.fe.boxes.size(), 1u);
    EXPECT_EQ(h.fe.boxes[0].spec.text, "Введите название файла архива");
    EXPECT_TRUE(h.processes.started.empty());
}

TEST_F(RestoreWindow, AQuoteOrAPathOnNoDriveStartsNothingAndTheMessageNamesWhatWasTyped)
{
    archiver("unrar", "x");
    for (const auto& [folder, name, dest] :
         {std::tuple{"C:\\Arc", "x\" -sdel \"y", "D:\\"}, std::tuple{"C:\\Arc", "unused", "\"D:\\My Files\""}}) {
        restore(folder, name, dest);
        EXPECT_EQ(shown[2], "Этап 1. Задание параметров");
        EXPECT_EQ(h.fe.boxes.back().spec.text, "Название файла архива и имена папок не могут содержать кавычки (\")");
    }
    restore("\\\\nas\\backup", "unused", "D:\\");
    EXPECT_EQ(h.fe.boxes.back().spec.text,
              "Архив \\\\nas\\backup\\unused.rar не распакован: этот путь не ведет ни на один диск.");
    restore("C:\\Arc", "unused", "\\\\?\\unix\\tmp");
    EXPECT_EQ(h.fe.boxes.back().spec.text,
              "Архив C:\\Arc\\unused.rar не распакован: путь \\\\?\\unix\\tmp не ведет ни на один диск.");
    EXPECT_EQ(shown[2], "Этап 3. Процесс завершен");
    EXPECT_EQ(h.fe.boxes.size(), 4u);
    EXPECT_TRUE(h.processes.started.empty());
}

} // namespace
} // namespace velmora
