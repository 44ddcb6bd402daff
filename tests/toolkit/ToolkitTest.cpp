// The window model's event semantics, through the scripted front-end.
#include "platform/testing/Doubles.h"
#include "platform/testing/ScriptedFrontEnd.h"
#include "platform/toolkit/Form.h"
#include "platform/toolkit/ListFollower.h"
#include "support/HostServices.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <random>
#include <thread>

namespace velmora {
namespace {

using testing::ScriptedFrontEnd;

struct SampleForm : Form {
    explicit SampleForm(Toolkit& tk) : Form(tk, "frmSample")
    {
        txtName.onChange = [this] { ++changes; };
        cmdOK.onClick = [this] { ++clicks; };
        cmdClose.onClick = [this] { unload(); };
        cboKind.onClick = [this] { ++comboClicks; };
        for (auto* o : {&optA, &optB}) o->onClick = [this] { ++optionClicks; };
        cboKind.addItem("Первый");
        cboKind.addItem("Второй");
    }
    void Form_Load() override { ++loads; }
    void Form_Unload() override { ++unloads; }

    TextBox txtName{*this, "txtName"};
    CommandButton cmdOK{*this, "cmdOK"};
    CommandButton cmdClose{*this, "cmdClose"};
    ComboBox cboKind{*this, "cboKind"};
    PictureBox picGroup{*this, "picGroup"};
    OptionButton optA{*this, "optA", &picGroup};
    OptionButton optB{*this, "optB", &picGroup};
    OptionButton optOther{*this, "optOther"};
    int changes = 0, clicks = 0, comboClicks = 0, optionClicks = 0, loads = 0, unloads = 0;
};

class ToolkitTest : public ::testing::Test {
protected:
    ScriptedFrontEnd fe;
    Toolkit tk{fe};
    FormSlot<SampleForm> sample{[this] { return std::make_unique<SampleForm>(tk); }};
};

TEST_F(ToolkitTest, CodeChangesFireTheUsersEventsOnlyWhenSomethingChanges)
{
    auto& f = *sample;
    f.txtName.setText("abc");
    f.txtName.setText("abc");
    EXPECT_EQ(f.changes, 1);
    f.cboKind.setListIndex(1);
    f.cboKind.setListIndex(1);
    EXPECT_EQ(f.comboClicks, 1);
    EXPECT_EQ(f.cboKind.text(), "Второй");
    f.cboKind.setListIndex(7); // out of range: nothing chosen
    EXPECT_EQ(f.cboKind.listIndex(), -1);
}

TEST_F(ToolkitTest, MaxLengthCountsCharactersNotBytes)
{
    auto& f = *sample;
    f.txtName.setMaxLength(5);
    f.txtName.type("Привет, мир");
    EXPECT_EQ(f.txtName.text(), "Приве");
    f.txtName.setText("abcdefgh");
    EXPECT_EQ(f.txtName.text(), "abcde");
    f.txtName.setMaxLength(2); // a shorter limit cuts what is held, with a Change
    EXPECT_EQ(f.txtName.text(), "ab");
    f.txtName.setMaxLength(0);
    f.txtName.setText("длинный текст без предела");
    EXPECT_EQ(f.txtName.text(), "длинный текст без предела");
}

TEST_F(ToolkitTest, OptionButtonsAreExclusiveWithinTheirContainer)
{
    auto& f = *sample;
    f.optOther.setValue(true);
    f.optA.setValue(true);
    f.optB.click();
    EXPECT_FALSE(f.optA.value());
    EXPECT_TRUE(f.optB.value());
    EXPECT_TRUE(f.optOther.value()) << "another container keeps its choice";
    EXPECT_EQ(f.optionClicks, 2);
}

TEST_F(ToolkitTest, TouchingLoadsUnloadingDiscardsAndTheNextTouchBuildsAfresh)
{
    EXPECT_EQ(sample.ifLoaded(), nullptr);
    sample->txtName.setText("kept only while loaded");
    EXPECT_EQ(sample->loads, 1);
    EXPECT_FALSE(sample->visible()) << "loading by touch keeps the form hidden";
    const std::uint64_t first = sample->serial();
    EXPECT_EQ(tk.formBySerial(first), sample.ifLoaded());
    sample->cmdClose.click(); // unloads from inside its own handler
    EXPECT_EQ(sample.ifLoaded(), nullptr);
    EXPECT_EQ(tk.forms().size(), 0u);
    EXPECT_EQ(tk.formBySerial(first), nullptr);
    EXPECT_EQ(sample->txtName.text(), "");
    EXPECT_EQ(sample->loads, 1) << "a fresh form counts its own loads";
    EXPECT_GT(sample->serial(), first) << "and has a serial of its own";
}

TEST_F(ToolkitTest, ShowModalReturnsWhenTheFormIsUnloaded)
{
    bool sawLoaded = false;
    fe.onModal = [&](Form& f) {
        sawLoaded = f.isLoaded() && f.visible() && f.isModal();
        static_cast<SampleForm&>(f).cmdOK.click();
        static_cast<SampleForm&>(f).cmdClose.click();
    };
    auto& f = *sample;
    f.showModal(nullptr);
    EXPECT_TRUE(sawLoaded);
    EXPECT_EQ(sample.ifLoaded(), nullptr);
    ASSERT_EQ(fe.shown.size(), 1u);
    EXPECT_EQ(fe.shown[0], "frmSample (modal)");
}

TEST_F(ToolkitTest, TheCloseBoxRunsTheUnloadHandler)
{
    fe.onModal = [](Form& f) { f.close(); };
    int unloadsSeen = 0;
    struct Watch : SampleForm {
        Watch(Toolkit& t, int& n) : SampleForm(t), seen(n) {}
        void Form_Unload() override { ++seen; }
        int& seen;
    };
    FormSlot<Watch> slot{[&] { return std::make_unique<Watch>(tk, unloadsSeen); }};
    slot->showModal(nullptr);
    EXPECT_EQ(unloadsSeen, 1);
}

TEST_F(ToolkitTest, HiddenOrDisabledControlsIgnoreTheUser)
{
    auto& f = *sample;
    f.cmdOK.setEnabled(false);
    f.cmdOK.click();
    f.cmdOK.setEnabled(true);
    f.picGroup.setVisible(false);
    f.optA.click(); // inside a hidden panel
    f.picGroup.setVisible(true);
    f.picGroup.setEnabled(false);
    f.optB.click(); // inside a disabled panel
    EXPECT_EQ(f.clicks, 0);
    EXPECT_EQ(f.optionClicks, 0);
    f.picGroup.setLeft(99999); // outside the client area, still visible
    EXPECT_TRUE(f.optA.shown());
}

TEST_F(ToolkitTest, MessageBoxesTakeQueuedAnswersElseTheSafeOne)
{
    fe.answers.push_back(MsgResult::Yes);
    EXPECT_EQ(tk.msgBox("Удалить?", MsgButtons::YesNo, MsgIcon::Question, "Velmora"), MsgResult::Yes);
    EXPECT_EQ(tk.msgBox("Удалить?", MsgButtons::YesNo, MsgIcon::Question, "Velmora"), MsgResult::No);
    EXPECT_EQ(tk.msgBox("Повторить?", MsgButtons::RetryCancel, MsgIcon::Critical, "Velmora"), MsgResult::Cancel);
    EXPECT_EQ(tk.msgBox("Готово", MsgButtons::OK, MsgIcon::Information, "Velmora"), MsgResult::OK);
    ASSERT_EQ(fe.boxes.size(), 4u);
    EXPECT_EQ(fe.boxes[0].spec.text, "Удалить?");
}

TEST_F(ToolkitTest, AThrowingHandlerEndsOnlyItself)
{
    auto& f = *sample;
    f.cmdOK.onClick = [] { throw std::runtime_error("boom"); };
    EXPECT_NO_THROW(f.cmdOK.click());
    EXPECT_EQ(tk.handlerDepth(), 0);
    f.cmdOK.onClick = [this] { tk.endProgram(); };
    EXPECT_THROW(f.cmdOK.click(), testing::ProgramEnded) << "ending the program is not swallowed";
    EXPECT_EQ(tk.handlerDepth(), 0);
}

TEST_F(ToolkitTest, TimersTickOnlyWhenEnabled)
{
    struct Timed : Form {
        explicit Timed(Toolkit& t) : Form(t, "frmTimed")
        {
            tim.onTimer = [this] { ++ticks; };
        }
        Timer tim{*this, "tim", 50};
        int ticks = 0;
    };
    FormSlot<Timed> timed{[this] { return std::make_unique<Timed>(tk); }};
    auto& f = *timed;
    tk.tickTimers();
    f.tim.setEnabled(false);
    tk.tickTimers();
    EXPECT_EQ(f.ticks, 1);
}

TEST(ListSelection, ExtendedSelectionFollowsClickShiftAndCtrl)
{
    ScriptedFrontEnd fe;
    Toolkit tk{fe};
    struct F : Form {
        explicit F(Toolkit& t) : Form(t, "f") {}
        ListBox lst{*this, "lst"};
    } f{tk};
    f.load();
    f.lst.setMultiSelect(MultiSelect::Extended);
    for (auto s : {"a", "b", "c", "d", "e"}) f.lst.addItem(s);
    f.lst.userSelect(1);
    f.lst.userSelect(3, true, false);
    EXPECT_EQ(f.lst.selCount(), 3u);
    f.lst.userSelect(4, false, true);
    EXPECT_EQ(f.lst.selCount(), 4u);
    f.lst.userSelect(0);
    EXPECT_EQ(f.lst.selCount(), 1u);
    f.lst.removeItem(0);
    EXPECT_EQ(f.lst.selCount(), 0u);
    EXPECT_EQ(f.lst.listCount(), 4u);
}

// The browser controls on a real folder mapped as a drive.
// A volume on which every look at a file's size takes long, as on a network or FUSE mount
// under load.
// A folder whose looks at sizes take `delay` each and are counted, and which can be unwatchable
// (as when the per-user limit of watches is reached).
struct Looks {
    std::chrono::milliseconds delay{0};
    std::atomic<int> count{0};
    bool watches = true;
};

class SlowSizes final : public testing::ForwardingFolder {
public:
    // Shared: a reader caught in a look when its list goes finishes it after the test has ended.
    SlowSizes(std::unique_ptr<Folder> f, std::shared_ptr<Looks> looks)
        : ForwardingFolder(std::move(f)), m_looks(std::move(looks))
    {}
    std::optional<std::int64_t> size(std::string_view n) const override
    {
        std::this_thread::sleep_for(m_looks->delay);
        ++m_looks->count;
        return ForwardingFolder::size(n);
    }
    std::unique_ptr<FolderWatch> watch() const override
    {
        return m_looks->watches ? ForwardingFolder::watch() : nullptr;
    }

private:
    std::shared_ptr<Looks> m_looks;
};

class SlowVolume : public testsupport::HostFileSystem {
public:
    using Host = testsupport::HostFileSystem;
    using Host::Host;
    std::shared_ptr<Looks> looks = std::make_shared<Looks>();
    std::unique_ptr<Folder> openFolder(std::string_view path) const override
    {
        auto folder = Host::openFolder(path);
        if (!folder) return folder;
        return std::make_unique<SlowSizes>(std::move(folder), looks);
    }
};

// A form with a file list alone.
struct FileListForm : Form {
    FileListForm(Toolkit& t, FileSystem& fs) : Form(t, "f"), fil(*this, "fil", fs) {}
    FileListBox fil;
};

// A window's timer calls updateSizes every 50 ms. With a watch, an idle list reads next to
// nothing; with one or without, a changed size shows within twenty calls.
TEST(ListSizes, AnIdleWatchedListReadsLittleAndEveryListShowsAChangeWithinTwentyUpdates)
{
    constexpr int Count = 1000;
    for (const bool watches : {true, false}) {
        SCOPED_TRACE(watches ? "with a watch" : "without a watch");
        testsupport::TempDir root;
        for (int i = 0; i < Count; ++i) root.write("TEMP/f" + std::to_string(i) + ".tmp", "x");
        SlowVolume files(testsupport::driveEntry('c', root.path()));
        files.looks->watches = watches;
        ScriptedFrontEnd fe;
        Toolkit tk{fe};
        FileListForm f{tk, files};
        f.load();
        ASSERT_TRUE(f.fil.setPath("C:\\TEMP"));
        f.fil.setAllSelected(true);
        // At the timer's pace: sizes are read off the window's thread, between updates too.
        const auto updatesUntil = [&f](std::int64_t bytes) {
            int updates = 0;
            while (f.fil.selectedBytes() != bytes && updates < 200) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                f.fil.updateSizes();
                ++updates;
            }
            return f.fil.selectedBytes() == bytes ? updates : -1;
        };
        ASSERT_NE(updatesUntil(Count), -1);
        if (watches) {
            // The reader done with the first reads: no look comes for a while.
            for (int looked = -1; looked != files.looks->count;) {
                looked = files.looks->count;
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            files.looks->count = 0;
            for (int i = 0; i < 100; ++i) f.fil.updateSizes();
            // Ten slices of the slow sweep, each a few dozen files; one more for good measure.
            EXPECT_LE(files.looks->count, 11 * 64);
        }
        root.write("TEMP/f500.tmp", "grown");
        const int updates = updatesUntil(Count + 4);
        EXPECT_NE(updates, -1);
        EXPECT_LE(updates, 20);
    }
}

TEST(SlowVolume, NoSizeUpdateHoldsTheWindowLongerThanItsBudgetAndOneLookAtAFile)
{
    testsupport::TempDir root;
    std::int64_t total = 0;
    for (int i = 1; i <= 7; ++i) {
        root.write("TEMP/f" + std::to_string(i) + ".tmp", std::string(static_cast<std::size_t>(i), 'x'));
        total += i;
    }
    SlowVolume files(testsupport::driveEntry('c', root.path()));
    files.looks->delay = std::chrono::milliseconds(200);
    ScriptedFrontEnd fe;
    Toolkit tk{fe};
    FileListForm f{tk, files};
    f.load();
    ASSERT_TRUE(f.fil.setPath("C:\\TEMP"));
    ASSERT_EQ(f.fil.listCount(), 7u);
    f.fil.setAllSelected(true);

    // Seven sizes never read, 200 ms a look: read in the window's update, they held it 1.4 s.
    const auto budget = std::chrono::microseconds(2500) + files.looks->delay;
    auto sum = [&f] {
        std::int64_t bytes = 0;
        for (const DirEntry& e : f.fil.entries()) bytes += e.size;
        return bytes;
    };
    auto slowest = std::chrono::steady_clock::duration::zero();
    for (int tick = 0; tick < 100 && sum() != total; ++tick) {
        if (tick > 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto begun = std::chrono::steady_clock::now();
        f.fil.updateSizes();
        slowest = std::max(slowest, std::chrono::steady_clock::now() - begun);
    }
    EXPECT_EQ(sum(), total) << "the sizes read meanwhile reach the list";
    EXPECT_LE(slowest, budget) << std::chrono::duration_cast<std::chrono::milliseconds>(slowest).count() << " ms";
}

class BrowserControls : public ::testing::Test {
protected:
    testsupport::TempDir root;
    void SetUp() override
    {
        root.write("Windows/TEMP/b.tmp");
        root.write("Windows/TEMP/A.TMP");
        root.write("Windows/TEMP/keep.txt");
        root.write("Windows/TEMP/c.bak");
        root.mkdir("Windows/TEMP/Sub");
        fs = std::make_unique<testsupport::HostFileSystem>(testsupport::driveEntry('c', root.path()) + ";" +
                                                           testsupport::driveEntry('d', root.path() / "missing"));
        form = std::make_unique<F>(tk, *fs);
        form->load();
    }
    struct F : Form {
        F(Toolkit& t, FileSystem& fs)
            : Form(t, "f"), drv(*this, "drv", fs), dir(*this, "dir", fs), fil(*this, "fil", fs)
        {
            drv.onChange = [this] { ++driveChanges; };
            dir.onChange = [this] { ++dirChanges; };
        }
        DriveListBox drv;
        DirListBox dir;
        FileListBox fil;
        int driveChanges = 0, dirChanges = 0;
    };
    ScriptedFrontEnd fe;
    Toolkit tk{fe};
    std::unique_ptr<testsupport::HostFileSystem> fs;
    std::unique_ptr<F> form;
};

TEST_F(BrowserControls, FileListShowsMatchingFilesInNameOrderWithoutRegardToCase)
{
    auto& fil = form->fil;
    ASSERT_TRUE(fil.setPath("C:\\WINDOWS\\temp"));
    fil.setPattern("*.tmp;*.TMP;*.bak");
    ASSERT_EQ(fil.listCount(), 3u) << "a file matching two masks is listed once";
    EXPECT_EQ(fil.list(0), "A.TMP");
    EXPECT_EQ(fil.list(1), "b.tmp");
    EXPECT_EQ(fil.list(2), "c.bak");
    EXPECT_EQ(fil.filePath(0), "C:\\WINDOWS\\temp\\A.TMP");
}

TEST_F(BrowserControls, SettingAnUnopenablePathLeavesTheControlAsItWas)
{
    auto& dir = form->dir;
    ASSERT_TRUE(dir.setPath("C:\\Windows"));
    EXPECT_EQ(form->dirChanges, 1);
    EXPECT_FALSE(dir.setPath("C:\\Windows\\Nowhere"));
    EXPECT_FALSE(dir.setPath("D: [missing]")) << "a drive that is not ready";
    EXPECT_EQ(dir.path(), "C:\\Windows");
    EXPECT_EQ(form->dirChanges, 1);
    EXPECT_TRUE(dir.setPath("C:\\Windows")) << "the same folder again is no change";
    EXPECT_EQ(form->dirChanges, 1);
    ASSERT_EQ(dir.listCount(), 1u);
    EXPECT_EQ(dir.list(0), "C:\\Windows\\TEMP");
    EXPECT_FALSE(form->fil.setPath("C:\\Nowhere"));
}

TEST_F(BrowserControls, DriveBoxShowsLettersAndLabelsAndRejectsUnknownDrives)
{
    auto& drv = form->drv;
    ASSERT_EQ(drv.listCount(), 2u);
    EXPECT_EQ(drv.list(0), "c: [" + testsupport::pathText(root.path()) + "]");
    EXPECT_TRUE(drv.setDrive("D:\\")) << "a drive that is not ready can be picked; its handler decides";
    EXPECT_EQ(drv.drive().substr(0, 2), "d:");
    EXPECT_FALSE(drv.setDrive("q:"));
    EXPECT_EQ(drv.drive().substr(0, 2), "d:");
    EXPECT_EQ(form->driveChanges, 1);
}

// A file system whose drives come and go as the test says.
struct ChangingDrives : testsupport::HostFileSystem {
    explicit ChangingDrives(const std::string& map) : testsupport::HostFileSystem(map) {}
    std::vector<DriveInfo> now;
    std::vector<DriveInfo> drives() const override { return now; }
};

TEST(DriveBox, DrivesComeAndGoWhenTheListOpensWhileTheDriveShownStays)
{
    testsupport::TempDir root;
    ChangingDrives fs(testsupport::driveEntry('c', root.path()));
    fs.now = {{'c', "SYSTEM", true}, {'e', "STICK", true}};
    ScriptedFrontEnd fe;
    Toolkit tk{fe};
    Form form(tk, "f");
    DriveListBox drv(form, "drv", fs);
    int changes = 0;
    drv.onChange = [&changes] { ++changes; };
    ASSERT_TRUE(drv.setDrive("e:"));
    fs.now = {{'c', "SYSTEM", true}, {'d', "NEW", true}};
    drv.dropDown();
    EXPECT_EQ(drv.items(), (std::vector<std::string>{"c: [SYSTEM]", "d: [NEW]", "e: [STICK]"}))
        << "the drive that left stays shown until another is chosen";
    EXPECT_EQ(drv.drive(), "e: [STICK]");
    ASSERT_TRUE(drv.setDrive("c:"));
    drv.dropDown();
    EXPECT_EQ(drv.items(), (std::vector<std::string>{"c: [SYSTEM]", "d: [NEW]"}));
    fs.now.push_back({'f', "LATE", true});
    EXPECT_TRUE(drv.setDrive("F:\\")) << "a letter not listed has the list read again";
    EXPECT_EQ(drv.drive(), "f: [LATE]");
    EXPECT_FALSE(drv.setDrive("q:"));
    EXPECT_EQ(changes, 3);
}

TEST_F(BrowserControls, RefreshKeepsTheSelectionOfFilesStillThere)
{
    auto& fil = form->fil;
    ASSERT_TRUE(fil.setPath("C:\\Windows\\TEMP"));
    fil.setPattern("*.*");
    ASSERT_EQ(fil.listCount(), 4u);
    fil.userSelect(0);
    fil.userSelect(2, false, true);
    std::filesystem::remove(root.path() / "Windows/TEMP/A.TMP");
    ASSERT_TRUE(fil.refresh());
    ASSERT_EQ(fil.listCount(), 3u);
    EXPECT_FALSE(fil.selected(0));
    EXPECT_EQ(fil.list(1), "c.bak");
    EXPECT_TRUE(fil.selected(1)) << "c.bak stays selected";
    EXPECT_FALSE(fil.selected(2));
}

// A list widget drawn nowhere: the rows, selection and current row its follower gave it. With
// a `source`, it reads the texts of new rows from the list control, as a widget over a follower
// that keeps only the count does.
class DrawnList final : public ListView {
public:
    std::size_t drawnCount() const override { return texts.size(); }
    void resetRows(const std::vector<std::string>& rows) override
    {
        texts.clear();
        selected.clear();
        appendRows(rows, 0);
        ++resets;
    }
    void appendRows(const std::vector<std::string>& rows, std::size_t first) override
    {
        EXPECT_EQ(first, texts.size());
        if (source)
            for (std::size_t i = first; i < source->rowCount(); ++i) texts.push_back(source->rowText(i));
        else
            texts.insert(texts.end(), rows.begin() + static_cast<std::ptrdiff_t>(first), rows.end());
        selected.resize(texts.size(), false);
    }
    void removeRows(std::size_t first, std::size_t count) override
    {
        EXPECT_LT(first, lastRemoved) << "runs leave last first";
        lastRemoved = first;
        const auto at = static_cast<std::ptrdiff_t>(first), n = static_cast<std::ptrdiff_t>(count);
        texts.erase(texts.begin() + at, texts.begin() + at + n);
        selected.erase(selected.begin() + at, selected.begin() + at + n);
        ++removals;
    }
    void drawSelection(std::size_t first, std::size_t end, const std::vector<Run>& runs, bool whole) override
    {
        EXPECT_EQ(whole, first == 0 && end == texts.size());
        for (std::size_t i = first; i < end; ++i) selected.at(i) = false;
        for (const auto& [a, b] : runs)
            for (std::size_t i = a; i <= b; ++i) selected.at(i) = true;
        lastRemoved = SIZE_MAX;
    }
    void drawCurrent(int row, bool) override
    {
        current = row;
        lastRemoved = SIZE_MAX;
    }

    const ListRows* source = nullptr;
    std::vector<std::string> texts;
    std::vector<bool> selected;
    int current = -1;
    int resets = 0, removals = 0;
    std::size_t lastRemoved = SIZE_MAX;
};

// A front-end that draws each list through a ListFollower, which hears only what the
// notifications say: after every change of the model, what it drew must be the model.
class MirrorFrontEnd : public ScriptedFrontEnd {
public:
    explicit MirrorFrontEnd(ListFollower::Keeps keeps = ListFollower::Keeps::Texts) : m_keeps(keeps) {}

    struct Mirror {
        std::unique_ptr<ListRows> rows;
        ListFollower follower;
        DrawnList drawn;
    };

    void controlChanged(Control& c) override
    {
        ++wholeRedraws;
        if (Mirror* m = mirror(c)) m->follower.sync(*m->rows, m->drawn);
    }

    void listChanged(Control& c, const ListChange& change) override
    {
        ++changes;
        if (Mirror* m = mirror(c)) m->follower.follow(change, *m->rows, m->drawn);
    }

    Mirror* mirror(Control& c)
    {
        auto& m = mirrors[&c];
        if (!m.rows) {
            switch (c.kind()) {
            case ControlKind::ComboBox:
                m.rows = std::make_unique<RowsOf<ComboBox>>(static_cast<ComboBox&>(c));
                break;
            case ControlKind::ListBox:
                m.rows = std::make_unique<RowsOf<ListBox>>(static_cast<ListBox&>(c));
                break;
            case ControlKind::FileListBox:
                m.rows = std::make_unique<RowsOf<FileListBox>>(static_cast<FileListBox&>(c));
                break;
            default:
                mirrors.erase(&c);
                return nullptr;
            }
            m.follower = ListFollower(m_keeps);
            if (m_keeps == ListFollower::Keeps::Count) m.drawn.source = m.rows.get();
        }
        return &m;
    }

    static int currentOf(const Control& c)
    {
        if (const auto* f = dynamic_cast<const FileListBox*>(&c)) return f->listIndex();
        return static_cast<const ListControl&>(c).listIndex();
    }

    std::map<const Control*, Mirror> mirrors;
    int wholeRedraws = 0, changes = 0;

private:
    ListFollower::Keeps m_keeps;
};

void expectMirrored(const MirrorFrontEnd& fe, const Control& c, const std::string& step)
{
    const auto it = fe.mirrors.find(&c);
    ASSERT_NE(it, fe.mirrors.end()) << step;
    const DrawnList& drawn = it->second.drawn;
    std::vector<std::string> texts;
    std::vector<bool> selected;
    if (const auto* list = dynamic_cast<const SelectableList*>(&c)) {
        for (std::size_t i = 0; i < list->entryCount(); ++i) {
            texts.push_back(list->entryText(i));
            selected.push_back(list->entrySelected(i));
        }
    } else {
        texts = static_cast<const ListControl&>(c).items();
        selected.resize(texts.size());
    }
    EXPECT_EQ(drawn.texts, texts) << step;
    EXPECT_EQ(drawn.selected, selected) << step;
    EXPECT_EQ(drawn.current, MirrorFrontEnd::currentOf(c)) << step;
}

struct ListsForm : Form {
    explicit ListsForm(Toolkit& tk) : Form(tk, "frmLists") {}
    ListBox lstNone{*this, "lstNone"};
    ListBox lstSimple{*this, "lstSimple"};
    ListBox lstExtended{*this, "lstExtended"};
    ComboBox cboKind{*this, "cboKind"};
};

// Whether the follower keeps the texts or only the count, what the widget draws is the model.
class FollowerKeeping : public ::testing::TestWithParam<ListFollower::Keeps> {};
INSTANTIATE_TEST_SUITE_P(ListChanges, FollowerKeeping,
                         ::testing::Values(ListFollower::Keeps::Texts, ListFollower::Keeps::Count),
                         [](const auto& keeping) {
                             return keeping.param == ListFollower::Keeps::Texts ? "Texts" : "Count";
                         });

TEST_P(FollowerKeeping, AFrontEndFollowingOnlyTheChangesShowsEveryListAsTheModelHasIt)
{
    MirrorFrontEnd fe(GetParam());
    Toolkit tk{fe};
    ListsForm f{tk};
    f.lstSimple.setMultiSelect(MultiSelect::Simple);
    f.lstExtended.setMultiSelect(MultiSelect::Extended);
    f.load();
    for (Control* c : f.controls()) fe.controlChanged(*c);

    std::mt19937 random(16);
    auto below = [&](std::size_t n) {
        return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    int named = 0, clears = 0;
    for (int step = 0; step < 3000; ++step) {
        ListControl& list = step % 4 == 0   ? static_cast<ListControl&>(f.cboKind)
                            : step % 4 == 1 ? f.lstNone
                            : step % 4 == 2 ? f.lstSimple
                                            : f.lstExtended;
        auto* box = dynamic_cast<ListBox*>(&list);
        const std::size_t n = list.listCount();
        const std::size_t op = below(box ? 11 : 6);
        std::string what = list.name() + " op " + std::to_string(op);
        switch (op) {
        case 0:
            list.addItem("e" + std::to_string(named++));
            break;
        case 1: {
            std::vector<std::string> texts;
            for (std::size_t k = below(5); k > 0; --k) texts.push_back("e" + std::to_string(named++));
            list.addItems(texts);
            break;
        }
        case 2:
            list.removeItem(below(n + 1)); // now and then one past the end
            break;
        case 3: {
            std::vector<std::size_t> gone;
            for (std::size_t i = 0; i < n; ++i)
                if (below(3) == 0) gone.push_back(i);
            list.removeItems(gone);
            break;
        }
        case 4:
            if (below(20) == 0) {
                list.clear();
                ++clears;
            }
            break;
        case 5:
            if (auto* combo = dynamic_cast<ComboBox*>(&list)) combo->setListIndex(static_cast<int>(below(n + 1)) - 1);
            if (box) box->setListIndex(static_cast<int>(below(n + 1)) - 1);
            break;
        case 6:
        case 7:
            if (n) box->setSelected(below(n), below(2) == 0);
            break;
        case 8:
        case 9:
            if (n) box->userSelect(below(n), below(2) == 0, below(2) == 0);
            break;
        case 10:
            if (n) box->userSetSelected(below(n), below(2) == 0);
            break;
        }
        // Each entry's datum, given when it came, is its text's number: it must move with it.
        for (std::size_t i = 0; box && i < box->listCount(); ++i) {
            const std::uint64_t number = std::stoull(box->list(i).substr(1)) + 1;
            if (box->itemData(i) == 0) box->setItemData(i, number);
            EXPECT_EQ(box->itemData(i), number) << what;
        }
        expectMirrored(fe, list, "step " + std::to_string(step) + ": " + what);
        if (::testing::Test::HasFailure()) return;
    }
    EXPECT_EQ(fe.wholeRedraws, 4 + clears) << "only clearing a list redraws it whole";
    EXPECT_GT(fe.changes, 1000);
}

TEST(ListChanges, AFewRunsOfRemovedRowsLeaveInPlaceAndManyAreDrawnAfresh)
{
    MirrorFrontEnd fe;
    Toolkit tk{fe};
    ListsForm f{tk};
    f.load();
    std::vector<std::string> texts;
    for (int i = 0; i < 200; ++i) texts.push_back("e" + std::to_string(i));
    f.lstExtended.addItems(texts);
    f.lstExtended.setSelected(4, true);
    const DrawnList& drawn = fe.mirrors.at(&f.lstExtended).drawn;
    const int resets = drawn.resets;

    f.lstExtended.removeItems({0, 3, 4, 5, 199});
    EXPECT_EQ(drawn.removals, 3);
    EXPECT_EQ(drawn.resets, resets);
    expectMirrored(fe, f.lstExtended, "three runs");

    std::vector<std::size_t> scattered;
    for (std::size_t i = 0; i < 120; i += 2) scattered.push_back(i);
    f.lstExtended.removeItems(scattered);
    EXPECT_EQ(drawn.removals, 3);
    EXPECT_EQ(drawn.resets, resets + 1);
    expectMirrored(fe, f.lstExtended, "sixty runs");
}

TEST(ListChanges, TheFileListTellsEachSelectionChangeAndRedrawsWholeOnlyWhenReListed)
{
    testsupport::TempDir root;
    for (int i = 0; i < 40; ++i) root.write("TEMP/f" + std::to_string(100 + i) + ".tmp");
    testsupport::HostFileSystem files(testsupport::driveEntry('c', root.path()));
    MirrorFrontEnd fe;
    Toolkit tk{fe};
    struct F : Form {
        F(Toolkit& t, FileSystem& fs) : Form(t, "f"), fil(*this, "fil", fs) {}
        FileListBox fil;
    } f{tk, files};
    f.load();
    FileListBox& fil = f.fil;
    ASSERT_TRUE(fil.setPath("C:\\TEMP"));
    ASSERT_EQ(fil.listCount(), 40u);

    std::mt19937 random(7);
    auto below = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    int relists = 1;
    for (int step = 0; step < 600; ++step) {
        const std::size_t n = fil.listCount();
        const std::size_t op = below(9);
        switch (op) {
        case 0:
            fil.setSelected(below(n), below(2) == 0);
            break;
        case 1:
            fil.setAllSelected(below(2) == 0);
            break;
        case 2:
            fil.invertSelection();
            break;
        case 3:
        case 4:
            fil.userSelect(below(n), below(2) == 0, below(2) == 0);
            break;
        case 5:
            fil.userSetSelected(below(n), below(2) == 0);
            break;
        case 6:
            fil.setListIndex(static_cast<int>(below(n + 1)) - 1);
            break;
        case 7:
            if (below(10) == 0) {
                root.write("TEMP/f" + std::to_string(100 + below(60)) + ".tmp");
                std::filesystem::remove(root.path() / ("TEMP/f" + std::to_string(100 + below(60)) + ".tmp"));
                ASSERT_TRUE(fil.refresh());
                ++relists;
            }
            break;
        case 8:
            if (below(20) == 0) {
                fil.setPattern(below(2) ? "*.tmp" : "f1?.tmp;f12*.tmp");
                ++relists;
            }
            break;
        }
        expectMirrored(fe, fil, "step " + std::to_string(step) + " op " + std::to_string(op));
        if (::testing::Test::HasFailure()) return;
    }
    EXPECT_EQ(fe.wholeRedraws, relists) << "a selection change never redraws the whole list";

    // Selecting what is selected already tells nothing.
    fil.setAllSelected(true);
    const int before = fe.changes;
    fil.setAllSelected(true);
    EXPECT_EQ(fe.changes, before);
}

} // namespace
} // namespace velmora
