// The text front-end driven in process: what it prints, what it reads, how it ends.
#include "platform/console/ConsoleFrontEnd.h"
#include "platform/console/ConsoleText.h"
#include "platform/toolkit/Form.h"

#include "support/HostServices.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <sstream>

namespace velmora {
namespace {

using Log = std::vector<std::string>;

struct GrandForm : Form {
    GrandForm(Toolkit& tk, Log& log) : Form(tk, "frmGrand"), m_log(log)
    {
        cmdOK.onClick = [this] { unload(); };
    }
    void Form_Unload() override { m_log.push_back("unload frmGrand"); }
    CommandButton cmdOK{*this, "cmdOK"};
    Log& m_log;
};

struct ChildForm : Form {
    ChildForm(Toolkit& tk, Log& log) : Form(tk, "frmChild"), m_log(log)
    {
        setCaption("Дочернее");
        cmdOK.setCaption("OK");
        cmdOK.onClick = [this] { unload(); };
        cmdGrand.onClick = [this] { grand->showModal(this); };
    }
    void Form_Unload() override { m_log.push_back("unload frmChild"); }
    TextBox txtValue{*this, "txtValue"};
    CommandButton cmdOK{*this, "cmdOK"};
    CommandButton cmdGrand{*this, "cmdGrand"};
    Log& m_log;
    FormSlot<GrandForm> grand{[this] { return std::make_unique<GrandForm>(toolkit(), m_log); }};
};

struct ToolForm : Form {
    ToolForm(Toolkit& tk, Log& log) : Form(tk, "frmTool"), m_log(log)
    {
        cmdGo.onClick = [this] { m_log.push_back("go frmTool"); };
    }
    void Form_Unload() override { m_log.push_back("unload frmTool"); }
    CommandButton cmdGo{*this, "cmdGo"};
    Log& m_log;
};

struct MainForm : Form {
    MainForm(Toolkit& tk, Log& log) : Form(tk, "frmMain"), m_log(log)
    {
        setCaption("Главное окно");
        place(txtName, 120, 600);
        txtName.setMaxLength(5);
        txtName.onChange = [this] { m_log.push_back("change " + txtName.text()); };
        place(lstItems, 3000, 600);
        lstItems.setMultiSelect(MultiSelect::Extended);
        for (const char* s : {"один", "два", "три"}) lstItems.addItem(s);
        lstItems.onClick = [this] { m_log.push_back("click lstItems"); };
        lstItems.onDblClick = [this] { m_log.push_back("dblclick lstItems " + std::to_string(lstItems.listIndex())); };
        lstItems.onKeyDown = [this](int code) { m_log.push_back("key " + std::to_string(code)); };
        lstItems.onMouseUp = [this](int button, int, int) {
            if (button == mouse::Right) toolkit().popupMenu(mnuPop, 0, 0, &mnuOpen);
        };
        place(cboKind, 120, 1200);
        cboKind.addItem("Все");
        cboKind.addItem("Новые");
        cboKind.setListIndex(0);
        place(chkAll, 3000, 1200);
        chkAll.setCaption("Все файлы");
        chkAll.setValue(1);
        place(txtLog, 120, 1800);
        txtLog.setMultiLine(true);
        txtLog.setText("строка 1\r\nстрока 2");
        place(cmdAsk, 120, 3000);
        cmdAsk.setCaption("&Спросить");
        cmdAsk.onClick = [this] {
            answers.push_back(toolkit().msgBox("Удалить файлы?\r\nВсего: 3", buttons, MsgIcon::Question, "Велмора"));
        };
        place(cmdOff, 1500, 3000);
        cmdOff.setCaption("Выкл");
        cmdOff.setEnabled(false);
        place(cmdChild, 3000, 3000);
        cmdChild.setCaption("Дальше...");
        cmdChild.onClick = [this] { child->showModal(this); };
        picHidden.setVisible(false);
        place(picFar, 9000, 100);
        place(lblFar, 15, 15);
        lblFar.setCaption("Далеко");
        place(lblBad, 120, 3600);
        lblBad.setCaption("bad\xFFname\x01");
        timTick.onTimer = [this] { ++ticks; };
        mnuOpen.onClick = [this] { m_log.push_back("menu open"); };
        mnuOff.setEnabled(false);
        lblTitle.setCaption("Заголовок");
        place(lblTitle, 120, 0);
        cmdEnd.setVisible(false);
        cmdEnd.onClick = [this] { toolkit().endProgram(); };
    }
    static void place(Control& c, int left, int top) { c.setGeometry({left, top, 1000, 300}); }
    void Form_Unload() override { m_log.push_back("unload frmMain"); }

    TextBox txtName{*this, "txtName"};
    ListBox lstItems{*this, "lstItems"};
    ComboBox cboKind{*this, "cboKind"};
    CheckBox chkAll{*this, "chkAll"};
    TextBox txtLog{*this, "txtLog"};
    CommandButton cmdAsk{*this, "cmdAsk"};
    CommandButton cmdOff{*this, "cmdOff"};
    CommandButton cmdChild{*this, "cmdChild"};
    PictureBox picHidden{*this, "picHidden"};
    Label lblInside{*this, "lblInside", &picHidden};
    PictureBox picFar{*this, "picFar"};
    Label lblFar{*this, "lblFar", &picFar};
    Label lblBad{*this, "lblBad"};
    Timer timTick{*this, "timTick", 100};
    Menu mnuPop{*this, "mnuPop"};
    MenuItem mnuOpen{mnuPop, "mnuOpen", "&Открыть"};
    MenuItem mnuSep{mnuPop, "mnuSep", "-"};
    MenuItem mnuOff{mnuPop, "mnuOff", "Удалить"};
    CommandButton cmdEnd{*this, "cmdEnd"};
    Label lblTitle{*this, "lblTitle"}; // declared last, placed first

    Log& m_log;
    MsgButtons buttons = MsgButtons::YesNo;
    std::vector<MsgResult> answers;
    int ticks = 0;
    FormSlot<ChildForm> child{[this] { return std::make_unique<ChildForm>(toolkit(), m_log); }};
};

// A session: streams, front-end, toolkit and the main window (destroyed before them).
struct Session {
    explicit Session(std::string input) : in(std::move(input)) { fe.attach(tk); }
    int run()
    {
        f.show();
        return fe.run();
    }
    std::istringstream in;
    std::ostringstream out, err;
    ConsoleFrontEnd fe{in, out, err, ConsoleOptions{true, true}};
    Toolkit tk{fe};
    Log log;
    FormSlot<MainForm> main{[this] { return std::make_unique<MainForm>(tk, log); }};
    FormSlot<ToolForm> tool{[this] { return std::make_unique<ToolForm>(tk, log); }};
    // Stays readable after the run unloaded it (touching the slot again would build it afresh).
    MainForm& f = *main;
};

const std::string mainPrint = R"(== frmMain "Главное окно" ==
lblTitle label "Заголовок"
picFar panel ""
lblFar label "Далеко"
txtName textbox ""
lstItems list ""
  [ ] один
  [ ] два
  [ ] три
cboKind combo "Все"
  [x] Все
  [ ] Новые
chkAll checkbox "Все файлы" value=1
txtLog textbox "строка 1
    строка 2"
cmdAsk button "&Спросить"
cmdOff button "Выкл" disabled
cmdChild button "Дальше..."
lblBad label "bad\xFFname\x01"
)";

TEST(ConsoleFrontEnd, PrintsAFormByPositionWithEntriesValuesAndEscapes)
{
    Session s("show\n");
    EXPECT_EQ(s.run(), 0);
    EXPECT_EQ(s.out.str(), mainPrint + "> show\n" + mainPrint + "> \n");
    EXPECT_EQ(s.err.str(), "");
    EXPECT_EQ(s.log, Log{"unload frmMain"});
}

TEST(ConsoleFrontEnd, MessageBoxReadsAnOfferedAnswerInAnyCase)
{
    Session s("click cmdAsk\nmaybe\nok\n\n# comment\nYES\n");
    s.run();
    EXPECT_EQ(s.f.answers, std::vector<MsgResult>{MsgResult::Yes});
    EXPECT_EQ(s.out.str(), mainPrint + "> click cmdAsk\n"
                                       "?? \"Велмора\" question\nУдалить файлы?\nВсего: 3\n"
                                       "(Yes/No) > maybe\n(Yes/No) > ok\n(Yes/No) > YES\n> \n");
    EXPECT_EQ(s.err.str(), "error: answer yes, no\nerror: answer yes, no\n");
}

TEST(ConsoleFrontEnd, AtEndOfInputEveryBoxTakesItsSafeAnswer)
{
    const std::map<MsgButtons, std::pair<MsgResult, std::string>> cases{
        {MsgButtons::YesNo, {MsgResult::No, "(Yes/No) > no\n"}},
        {MsgButtons::OKCancel, {MsgResult::Cancel, "(OK/Cancel) > cancel\n"}},
        {MsgButtons::RetryCancel, {MsgResult::Cancel, "(Retry/Cancel) > cancel\n"}},
        {MsgButtons::OK, {MsgResult::OK, "(OK) > ok\n"}},
    };
    for (const auto& [buttons, expected] : cases) {
        Session s("click cmdAsk\n");
        s.f.buttons = buttons;
        s.run();
        EXPECT_EQ(s.f.answers, std::vector<MsgResult>{expected.first});
        EXPECT_NE(s.out.str().find(expected.second), std::string::npos) << s.out.str();
    }
}

TEST(ConsoleFrontEnd, MistakesWriteOneErrorLineAndChangeNothing)
{
    Session s("frobnicate\nclick\nclick cmdNope\nclick cmdOff\nclick lblInside\nclick frmNope.cmdAsk\n"
              "click frmMain.cmdNope\nchoose cboKind x\nchoose cboKind 9\nchoose cboKind -1\n"
              "select lstItems 99999999999999999999\nset cmdAsk text\nclick mnuOpen\nclick timTick\n"
              "key txtName F13\nshow extra\ndblclick cmdAsk 1\npath lstItems C:\\\n");
    s.run();
    EXPECT_EQ(s.err.str(), "error: unknown command \"frobnicate\"; try: help\n"
                           "error: usage: click NAME\n"
                           "error: no control \"cmdNope\" on a shown form\n"
                           "error: cmdOff is disabled\n"
                           "error: lblInside is hidden\n"
                           "error: no form \"frmNope\"\n"
                           "error: no control \"cmdNope\" on frmMain\n"
                           "error: bad index \"x\"\n"
                           "error: index 9 is out of range; cboKind has 2 entries\n"
                           "error: bad index \"-1\"\n"
                           "error: bad index \"99999999999999999999\"\n"
                           "error: cmdAsk is a button, not a textbox\n"
                           "error: mnuOpen is a menu item; use: menu mnuOpen\n"
                           "error: timTick is a timer; use: tick\n"
                           "error: bad key \"F13\"\n"
                           "error: usage: show\n"
                           "error: dblclick takes an index only on a list, file list or folder tree\n"
                           "error: lstItems is a list; path needs folders, files or drives\n");
    EXPECT_EQ(s.f.cboKind.listIndex(), 0);
    EXPECT_EQ(s.log, Log{"unload frmMain"});
}

TEST(ConsoleFrontEnd, NamesAreFoundInTheActiveFormThenInOtherShownForms)
{
    Session s("click cmdGo\nclick chkAll\nclick FRMMAIN.CHKALL\nclick frmTool.cmdGo\n");
    s.f.show();
    s.tool->show();
    s.fe.run();
    EXPECT_EQ(s.f.chkAll.value(), 1); // toggled twice: once by name, once by FORM.NAME without case
    EXPECT_EQ(s.log, (Log{"go frmTool", "go frmTool", "unload frmTool", "unload frmMain"}));
    EXPECT_EQ(s.err.str(), "");
}

TEST(ConsoleFrontEnd, TypingHonoursTheMaxLengthAndFiresChange)
{
    Session s("set txtName Привет, мир\nset txtName Привет\nset txtName\nset txtLog  два пробела\n");
    s.run();
    EXPECT_EQ(s.log, (Log{"change Приве", "change ", "unload frmMain"}));
    EXPECT_EQ(s.f.txtLog.text(), " два пробела");
}

TEST(ConsoleFrontEnd, ListsAndCombosFollowTheUsersSelection)
{
    Session s(
        "select lstItems 0 2\ndeselect lstItems 0\nshow\nchoose cboKind 1\ndblclick lstItems 1\nkey lstItems Delete\n");
    s.run();
    auto& f = s.f;
    EXPECT_FALSE(f.lstItems.selected(0));
    EXPECT_TRUE(f.lstItems.selected(1)); // the double click's plain click selects only its entry
    EXPECT_FALSE(f.lstItems.selected(2));
    EXPECT_EQ(f.cboKind.text(), "Новые");
    EXPECT_EQ(s.log, (Log{"click lstItems", "click lstItems", "click lstItems", "click lstItems", "dblclick lstItems 1",
                          "key 46", "unload frmMain"}));
    EXPECT_NE(s.out.str().find("lstItems list \"\"\n  [ ] один\n  [ ] два\n  [x] три\n"), std::string::npos);
}

TEST(ConsoleFrontEnd, QuitAndEndOfInputCloseEveryFormNewestFirst)
{
    for (const char* input : {"quit\nclick cmdAsk\n", ""}) {
        Session s(input);
        s.f.show();
        s.tool->show();
        EXPECT_EQ(s.fe.run(), 0);
        EXPECT_EQ(s.log, (Log{"unload frmTool", "unload frmMain"})) << input;
        EXPECT_TRUE(s.f.answers.empty());
    }
}

TEST(ConsoleFrontEnd, ModalFormsRunNestedLoopsAndHoldTheirOwners)
{
    Session s("click cmdChild\nclick frmMain.cmdAsk\nset txtValue abc\nclick cmdOK\nshow\n");
    s.run();
    EXPECT_EQ(s.err.str(), "error: frmMain is behind the modal form frmChild\n");
    EXPECT_EQ(s.log, (Log{"unload frmChild", "unload frmMain"}));
    const std::string childPrint =
        "== frmChild \"Дочернее\" ==\ntxtValue textbox \"\"\ncmdOK button \"OK\"\ncmdGrand button \"\"\n";
    // The parent is printed again when its child is gone, before the next prompt.
    EXPECT_EQ(s.out.str(), mainPrint + "> click cmdChild\n" + childPrint +
                               "> click frmMain.cmdAsk\n> set txtValue abc\n" + "> click cmdOK\n" + mainPrint +
                               "> show\n" + mainPrint + "> \n");
}

TEST(ConsoleFrontEnd, EndOfInputClosesNestedModalFormsByTheirCloseBoxes)
{
    Session s("click cmdChild\nclick cmdGrand\n");
    s.run();
    EXPECT_EQ(s.log, (Log{"unload frmGrand", "unload frmChild", "unload frmMain"}));
}

TEST(ConsoleFrontEnd, TimersTickBeforeEveryPromptAndOnTick)
{
    Session s("tick\nclick cmdAsk\nno\n");
    s.run();
    // Prompts: two commands, one answer, end of input; plus one tick command.
    EXPECT_EQ(s.f.ticks, 5);
    Session off("show\n");
    off.f.timTick.setEnabled(false);
    off.run();
    EXPECT_EQ(off.f.ticks, 0);
}

TEST(ConsoleFrontEnd, PopupMenusArePrintedAndPickedByName)
{
    Session s("rclick lstItems\nmenu mnuOpen\nmenu mnuOff\nmenu mnuSep\nmenu cmdAsk\n");
    s.run();
    EXPECT_NE(s.out.str().find("> rclick lstItems\n-- MENU mnuPop --\n  mnuOpen \"&Открыть\" default\n  ---\n"
                               "  mnuOff \"Удалить\" disabled\n> menu mnuOpen\n"),
              std::string::npos);
    EXPECT_EQ(s.log, (Log{"menu open", "unload frmMain"}));
    EXPECT_EQ(s.err.str(),
              "error: mnuOff is disabled\nerror: mnuSep is a separator\nerror: cmdAsk is not a menu item\n");
}

TEST(ConsoleFrontEnd, EndingTheProgramIsObservableInProcess)
{
    Session s("click cmdEnd\n");
    s.f.cmdEnd.setVisible(true);
    EXPECT_THROW(s.run(), ConsoleFrontEnd::ProgramEnded);
    EXPECT_TRUE(s.log.empty()); // nothing runs after the end, not even Form_Unload
}

TEST(ConsoleFrontEnd, NoLineOfInputCrashesIt)
{
    std::string input;
    for (const char* line : {"click",
                             "click  ",
                             "set",
                             "set \xFF\xFE",
                             "select lstItems",
                             "select lstItems 0 x",
                             "choose",
                             "dblclick lstItems 3",
                             "path",
                             "path cboKind",
                             "key",
                             "key txtName 70000",
                             "menu",
                             "rclick",
                             "\t\t",
                             "#",
                             "CLICK cmdOff",
                             "",
                             "deselect lstItems 0 1 2 3",
                             "choose lstItems 18446744073709551615",
                             "click .",
                             "click frmMain.",
                             "close x",
                             "\x01\x02\x03",
                             "show"})
        input += std::string(line) + "\n";
    Session s(input + "click cmdAsk\n\xFF\n yes \nclose\nshow\n");
    EXPECT_EQ(s.run(), 0);
    EXPECT_FALSE(s.f.isLoaded());
    EXPECT_EQ(s.log, Log{"unload frmMain"});
    EXPECT_NE(s.err.str().find("error: unknown command \"\\x01\\x02\\x03\"; try: help\n"), std::string::npos);
}

// Each command of the table: a line that does not fit its synopsis gets the usage error from
// it, a line that fits reaches the command's own handler, and `help` lists it.
TEST(ConsoleFrontEnd, EveryCommandInTheTableIsDispatchedAndListedByHelp)
{
    struct Case {
        std::string line;
        std::function<bool(Session&)> reached;
        std::string err;
    };
    auto logged = [](const Session& s, const std::string& entry) {
        return std::find(s.log.begin(), s.log.end(), entry) != s.log.end();
    };
    const std::map<std::string_view, Case> cases{
        {"click", {"click chkAll", [](Session& s) { return s.f.chkAll.value() == 0; }, ""}},
        {"dblclick", {"dblclick lstItems 1", [&](Session& s) { return logged(s, "dblclick lstItems 1"); }, ""}},
        {"set", {"set txtName ab", [](Session& s) { return s.f.txtName.text() == "ab"; }, ""}},
        {"choose", {"choose cboKind 1", [](Session& s) { return s.f.cboKind.listIndex() == 1; }, ""}},
        {"select", {"select lstItems 2", [](Session& s) { return s.f.lstItems.selected(2); }, ""}},
        {"deselect",
         {"select lstItems 0 2\ndeselect lstItems 0",
          [](Session& s) { return !s.f.lstItems.selected(0) && s.f.lstItems.selected(2); }, ""}},
        {"path", // its own refusal shows the line reached it
         {"path lstItems C:\\", [](Session&) { return true; },
          "error: lstItems is a list; path needs folders, files or drives\n"}},
        {"key", {"key lstItems 65", [&](Session& s) { return logged(s, "key 65"); }, ""}},
        {"menu", {"menu mnuOpen", [&](Session& s) { return logged(s, "menu open"); }, ""}},
        {"rclick",
         {"rclick lstItems", [](Session& s) { return s.out.str().find("-- MENU mnuPop --") != std::string::npos; },
          ""}},
        {"tick", {"tick", [](Session& s) { return s.f.ticks == 4; }, ""}}, // and one before each of three prompts
        {"show", {"show", [](Session& s) { return s.out.str().ends_with("> show\n" + mainPrint + "> \n"); }, ""}},
        {"close", {"close\nclick chkAll", [](Session& s) { return s.out.str().ends_with("> close\n"); }, ""}},
        {"quit", {"quit\nclick chkAll", [](Session& s) { return s.out.str().ends_with("> quit\n"); }, ""}},
        {"help", {"help", [](Session& s) { return s.out.str().find("\nhelp ") != std::string::npos; }, ""}},
    };
    Session help("help\n");
    help.run();
    const std::string listed = help.out.str();
    std::size_t column = 0;
    for (const ConsoleFrontEnd::CommandInfo& c : ConsoleFrontEnd::commands()) {
        const std::string name(c.name), usage = c.synopsis.empty() ? name : name + " " + std::string(c.synopsis);
        ASSERT_TRUE(cases.contains(c.name)) << name << " has no case here";
        const Case& k = cases.at(c.name);
        std::string upper = name;
        for (char& ch : upper) ch = static_cast<char>(ch - 'a' + 'A');
        Session s(upper + (c.synopsis.empty() ? " extra\n" : "\n") + k.line + "\n");
        s.run();
        EXPECT_EQ(s.err.str(), "error: usage: " + usage + "\n" + k.err) << name;
        EXPECT_TRUE(k.reached(s)) << name << "\n" << s.out.str();

        const auto at = listed.find("\n" + usage + "  ");
        ASSERT_NE(at, std::string::npos) << usage << "\n" << listed;
        const std::size_t description = listed.find_first_not_of(' ', at + 1 + usage.size());
        EXPECT_EQ(listed.substr(description, c.description.size() + 1), std::string(c.description) + "\n");
        if (column == 0) column = description - at;
        EXPECT_EQ(description - at, column) << "descriptions start in one column";
    }
    EXPECT_EQ(cases.size(), ConsoleFrontEnd::commands().size());
    EXPECT_TRUE(listed.ends_with(
        "\nNAME or FORM.NAME; indexes count from 0; a message box takes yes, no, ok, cancel or retry\n> \n"));
}

TEST(ConsoleFrontEnd, ArgumentsThatDoNotFitWriteTheUsageFromTheSynopsis)
{
    Session s(
        "choose cboKind\nchoose cboKind 1 2\nselect lstItems\ndeselect\nmenu mnuOpen mnuOff\ndblclick lstItems 1 2\n"
        "path lstItems \t \nkey lstItems\nset\nshow now\n");
    s.run();
    EXPECT_EQ(s.err.str(), "error: usage: choose NAME INDEX\n"
                           "error: usage: choose NAME INDEX\n"
                           "error: usage: select NAME INDEX [INDEX ...]\n"
                           "error: usage: deselect NAME INDEX [INDEX ...]\n"
                           "error: usage: menu ITEM\n"
                           "error: usage: dblclick NAME [INDEX]\n"
                           "error: usage: path NAME PATH\n"
                           "error: usage: key NAME CODE|enter|escape|delete\n"
                           "error: usage: set NAME TEXT\n"
                           "error: usage: show\n");
    EXPECT_EQ(s.f.cboKind.listIndex(), 0);
    EXPECT_EQ(s.log, Log{"unload frmMain"});
}

struct BrowseForm : Form {
    BrowseForm(Toolkit& tk, FileSystem& fs, Log& log) : Form(tk, "frmBrowse"), m_fs(fs), m_log(log)
    {
        setCaption("Обзор");
        drvDrive.setGeometry({0, 0, 2000, 300});
        dirTree.setGeometry({0, 400, 2000, 2000});
        filFiles.setGeometry({2100, 400, 2000, 2000});
        drvDrive.onChange = [this] { m_log.push_back("drive " + drvDrive.drive().substr(0, 2)); };
        dirTree.onChange = [this] {
            m_log.push_back("folder " + dirTree.path());
            filFiles.setPath(dirTree.path());
        };
        filFiles.onClick = [this] { m_log.push_back("files selected " + std::to_string(filFiles.selCount())); };
    }
    FileSystem& m_fs;
    Log& m_log;
    DriveListBox drvDrive{*this, "drvDrive", m_fs};
    DirListBox dirTree{*this, "dirTree", m_fs};
    FileListBox filFiles{*this, "filFiles", m_fs};
};

TEST(ConsoleFrontEnd, BrowserControlsListHostEntriesAndFollowTheUser)
{
    testsupport::TempDir tmp;
    tmp.mkdir("c/Alpha");
    tmp.mkdir("c/Beta");
    tmp.write("c/Alpha/inner.txt");
    tmp.write("c/one.txt");
    // A name that is not UTF-8 where the host allows one.
    const bool odd = !testsupport::oddNamesMissing();
    tmp.write(odd ? "c/bad\xFF.log" : "c/bad.log");
    tmp.mkdir("d");
    testsupport::HostFileSystem fs(testsupport::driveEntry('c', tmp.path() / "c") + ";" +
                                   testsupport::driveEntry('d', tmp.path() / "d"));

    Session s(
        "dblclick dirTree 1\npath dirTree C:\\Nope\ndblclick dirTree 0\nselect filFiles 0 1\ndeselect filFiles 0\n"
        "choose drvDrive 1\npath drvDrive z:\npath filFiles C:\\Alpha\ndblclick dirTree\n");
    s.f.unload();
    s.log.clear();
    auto browse = std::make_unique<BrowseForm>(s.tk, fs, s.log);
    browse->load();
    browse->show();
    s.fe.run();
    EXPECT_EQ(s.log, (Log{"folder C:\\Alpha", "folder C:\\", "files selected 1", "files selected 2", "files selected 1",
                          "drive d:"}));
    EXPECT_EQ(s.err.str(), "error: cannot open \"C:\\Nope\"\nerror: no drive \"z:\"\n"
                           "error: usage: dblclick NAME INDEX (the row to open)\n");
    const std::string out = s.out.str();
    EXPECT_NE(
        out.find("dirTree folders \"C:\\\"\n  [x] C:\\\n  [ ] C:\\Alpha\n  [ ] C:\\Beta\nfilFiles files \"C:\\\"\n"
                 "  [ ] " +
                 std::string(odd ? "bad\\xFF.log" : "bad.log") + "\n  [ ] one.txt\n"),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("drvDrive drives \"c: ["), std::string::npos);
    EXPECT_EQ(browse->filFiles.path(), "C:\\Alpha");
    EXPECT_EQ(browse->filFiles.listCount(), 1u);
}

TEST(ConsoleText, EscapesWhatIsNotValidUtf8AndControlCharacters)
{
    using console::escapeText;
    EXPECT_EQ(escapeText("Привет €𝄞 C:\\TEMP"), "Привет €𝄞 C:\\TEMP");
    EXPECT_EQ(escapeText("a\xFF"
                         "b"),
              "a\\xFFb");
    EXPECT_EQ(escapeText("\xC0\x80"), "\\xC0\\x80");                   // overlong
    EXPECT_EQ(escapeText("\xED\xA0\x80"), "\\xED\\xA0\\x80");          // surrogate
    EXPECT_EQ(escapeText("\xF4\x90\x80\x80"), "\\xF4\\x90\\x80\\x80"); // past U+10FFFF
    EXPECT_EQ(escapeText("\xD0"), "\\xD0");                            // cut short
    EXPECT_EQ(escapeText("\xD0\x9F\xD0"), "П\\xD0");
    EXPECT_EQ(escapeText(std::string("t\tn\n\x7F\0", 6)), "t\\x09n\\x0A\\x7F\\x00");
    EXPECT_EQ(console::breakLines("a\r\nb\nc\r", "  "), "a\n  b\n  c\\x0D");
}

} // namespace
} // namespace velmora
