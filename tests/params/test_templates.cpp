// Templates through the templates panel: storing, the list after a restart,
// loading word for word, overwriting and deleting, damaged files and names
// the file cannot hold. The record's own round trip is test_binding's.
#include "tests/fixtures/program.h"

#include "ini/inifile.h"
#include "params/binding.h"
#include "params/templates.h"
#include "ui/panels/settings_ids.h"

#include <QDir>

#include <array>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

using Record = std::array<unsigned short, PARAM_WORDS>;

std::string FileText(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteText(const std::string &path, const std::string &text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

class TemplatesTest : public ProgramTest {
  protected:
    std::string path;

    void SetUp() override {
        ProgramTest::SetUp();
        path = templatesPath;
        std::remove(path.c_str());
        restart();
    }
    void TearDown() override {
        std::remove(path.c_str());
        ProgramTest::TearDown();
    }

    // What start-up does with the list: an empty box filled from the file.
    int restart() {
        int n = 0;
        Combo_GetNumItems(panelSETTINGS_A, SETTINGS_A_TEMPLATE, &n);
        if (n) Combo_DeleteComboItem(panelSETTINGS_A, SETTINGS_A_TEMPLATE, 0, n);
        SetCtrlVal(panelSETTINGS_A, SETTINGS_A_TEMPLATE, "");
        return loadTemplatesFromFile(path.c_str(), 0);
    }
    std::vector<std::string> listed() {
        int n = 0;
        Combo_GetNumItems(panelSETTINGS_A, SETTINGS_A_TEMPLATE, &n);
        std::vector<std::string> items(n);
        for (int i = 0; i < n; ++i) Combo_GetItem(panelSETTINGS_A, SETTINGS_A_TEMPLATE, i, &items[i]);
        return items;
    }
    std::string text(int control) {
        std::string s;
        GetCtrlVal(panelSETTINGS_A, control, &s);
        return s;
    }
    std::string description() {
        int lines = 0;
        GetNumTextBoxLines(panelSETTINGS_A, SETTINGS_A_DESCRIPTION, &lines);
        std::string all, line;
        for (int i = 0; i < lines; ++i) {
            GetTextBoxLine(panelSETTINGS_A, SETTINGS_A_DESCRIPTION, i, &line);
            all += (i ? "|" : "") + line;
        }
        return all;
    }
    // The operator types a name, an origin and a description and presses SAVE.
    void store(const std::string &name, const std::string &origin = "bench 2",
               const std::string &lines = "first line\nsecond line") {
        OperateCtrl(panelSETTINGS_A, SETTINGS_A_TEMPLATE, name);
        SetCtrlVal(panelSETTINGS_A, SETTINGS_A_ORIGIN, origin);
        ResetTextBox(panelSETTINGS_A, SETTINGS_A_DESCRIPTION, lines);
        OperateCtrl(panelSETTINGS_A, SETTINGS_A_SAVE);
    }
    void press(const std::string &name, int button) {
        OperateCtrl(panelSETTINGS_A, SETTINGS_A_TEMPLATE, name);
        OperateCtrl(panelSETTINGS_A, button);
    }
    std::string item(const char *section, const char *tag) {
        IniHolder ini(1);
        std::string v = "<missing>";
        if (Ini_ReadFromFile(ini, path.c_str()) >= 0) Ini_GetStdString(ini, section, tag, &v);
        return v;
    }
    // A record the panels show as it is, with every 16.16 field at an edge
    // and the words no panel shows at 0xA500 + word number.
    Record panelRecord() {
        Record r;
        r.fill(0);
        GetPanelValues(r.data());
        const unsigned int edges[] = {0x00000001u, 0x0000FFFFu, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu,
                                      0x00010001u, 0x12345678u};
        int k = 0;
        for (int e = 0; e < EVAL_COUNT; ++e)
            for (int w : {PW_EVAL_REFERENCE[e], PW_EVAL_UPPER_TOL[e], PW_EVAL_LOWER_TOL[e]})
                if (w >= 0) SetField32(r.data(), w, edges[k++ % 7]);
        r[PW_CHA_POWER] = 1234, r[PW_ANA_MIN] = 100, r[PW_ANA_MAX] = 3000;
        for (int w : {15, 31, 33, 47, 63, 76, 184, 190, 0, 16, 176})
            r[w] = static_cast<unsigned short>(0xA500 + w);
        return r;
    }
    void show(const Record &r) {
        SetPanelValues(r.data());
        std::copy(r.begin(), r.end(), param);
    }
};

TEST_F(TemplatesTest, ATemplateIsStoredListedAfterARestartLoadedWordForWordAndDeleted) {
    EXPECT_EQ(listed(), std::vector<std::string>{kNewTemplate});
    EXPECT_EQ(description(), "<empty>");

    const Record stored = panelRecord();
    show(stored);
    store("Line 3 \"steel\"", "Q. Tester, bench 2");
    EXPECT_TRUE(popups->shown.empty()) << popups->lastMessage();
    EXPECT_EQ(item("TEMPLATE DATA", "Number of templates"), "1");
    EXPECT_EQ(item("TEMPLATE DATA", "Template0"), "Line 3 \"steel\"");
    EXPECT_EQ(item("Line 3 \"steel\"", "Description"), "first line\nsecond line\n");
    EXPECT_EQ(item("Line 3 \"steel\"", "Origin"), "Q. Tester, bench 2");
    const std::string created = item("Line 3 \"steel\"", "Creation Date");
    EXPECT_TRUE(std::regex_match(created, std::regex(R"(\d\d-\d\d-\d{4} \d\d:\d\d:\d\d)"))) << created;

    // Another record on the panels, then a restart.
    Record other = stored;
    for (int e = 0; e < EVAL_COUNT; ++e) SetField32(other.data(), PW_EVAL_REFERENCE[e], 0x00030000u);
    other[PW_CHA_POWER] = 7, other[15] = 0, other[0] = 0;
    show(other);
    SetCtrlVal(panelSETTINGS_A, SETTINGS_A_ORIGIN, "");
    EXPECT_EQ(restart(), 1);
    EXPECT_EQ(listed(), std::vector<std::string>{"Line 3 \"steel\""});
    EXPECT_EQ(text(SETTINGS_A_TEMPLATE), "Line 3 \"steel\"");
    EXPECT_EQ(description(), "first line|second line");
    EXPECT_EQ(text(SETTINGS_A_ORIGIN), "Q. Tester, bench 2");
    EXPECT_EQ(text(SETTINGS_A_CREATED), created);

    OperateCtrl(panelSETTINGS_A, SETTINGS_A_LOAD);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), param)) << "all 384 bytes, slots and carried words too";
    Record shown = stored;
    GetPanelValues(shown.data());
    EXPECT_EQ(shown, stored) << "the panels show the template";
    EXPECT_EQ(StatusLine(), "Template \"Line 3 \"steel\"\" loaded. Parameter adjusted.");

    // Storing what is shown again (after the overwrite question) keeps the
    // description as it was.
    OperateCtrl(panelSETTINGS_A, SETTINGS_A_SAVE);
    EXPECT_EQ(item("Line 3 \"steel\"", "Description"), "first line\nsecond line\n");
    ASSERT_EQ(popups->shown.size(), 1u);
    EXPECT_EQ(popups->shown[0].kind, "confirm");
    popups->shown.clear();

    OperateCtrl(panelSETTINGS_A, SETTINGS_A_DELETE);
    EXPECT_EQ(listed(), std::vector<std::string>{kNewTemplate});
    EXPECT_EQ(description(), "<empty>");
    EXPECT_EQ(item("TEMPLATE DATA", "Number of templates"), "0");
    EXPECT_EQ(item("Line 3 \"steel\"", "Parameter"), "<missing>");
    EXPECT_TRUE(popups->shown.empty());
}

TEST_F(TemplatesTest, ANewNameKeepsTheDraftTextsAndShowsItsCreationDateNotFound) {
    store("Alpha", "bench 1", "alpha text");
    const std::string created = text(SETTINGS_A_CREATED);
    ASSERT_FALSE(created.empty());
    OperateCtrl(panelSETTINGS_A, SETTINGS_A_TEMPLATE, std::string("Beta"));
    EXPECT_EQ(text(SETTINGS_A_CREATED), "Not found");
    EXPECT_EQ(description(), "alpha text");
    EXPECT_EQ(text(SETTINGS_A_ORIGIN), "bench 1");
    OperateCtrl(panelSETTINGS_A, SETTINGS_A_TEMPLATE, std::string("Alpha"));
    EXPECT_EQ(text(SETTINGS_A_CREATED), created);
}

TEST_F(TemplatesTest, OverwritingAsksFirstAndDeletingRenumbersTheList) {
    store("alpha", "a");
    store("beta", "b");
    store("gamma", "c");
    EXPECT_EQ(listed(), (std::vector<std::string>{"alpha", "beta", "gamma"}));

    const std::string before = FileText(path);
    popups->confirmAnswers = {0};
    store("beta", "b2");
    ASSERT_EQ(popups->shown.size(), 1u);
    EXPECT_EQ(popups->shown[0].title, "ATTENTION!");
    EXPECT_EQ(popups->shown[0].text, "Do you want to overwrite existing template?");
    EXPECT_EQ(FileText(path), before) << "no: the file stays";

    popups->confirmAnswers = {1};
    store("beta", "b2");
    EXPECT_EQ(listed(), (std::vector<std::string>{"alpha", "gamma", "beta"}));
    EXPECT_EQ(item("beta", "Origin"), "b2");
    EXPECT_EQ(text(SETTINGS_A_TEMPLATE), "beta");

    press("gamma", SETTINGS_A_DELETE);
    EXPECT_EQ(item("TEMPLATE DATA", "Number of templates"), "2");
    EXPECT_EQ(item("TEMPLATE DATA", "Template0"), "alpha");
    EXPECT_EQ(item("TEMPLATE DATA", "Template1"), "beta");
    EXPECT_EQ(item("TEMPLATE DATA", "Template2"), "<missing>");
    EXPECT_EQ(text(SETTINGS_A_TEMPLATE), "alpha");
    EXPECT_EQ(text(SETTINGS_A_ORIGIN), "a");

    // Picking a name shows its details; a name not in the file loads
    // nothing and leaves what the operator wrote for the new template.
    OperateCtrl(panelSETTINGS_A, SETTINGS_A_TEMPLATE, "beta");
    EXPECT_EQ(text(SETTINGS_A_ORIGIN), "b2");
    SetCtrlVal(panelSETTINGS_A, SETTINGS_A_ORIGIN, "new origin");
    ResetTextBox(panelSETTINGS_A, SETTINGS_A_DESCRIPTION, "new text");
    OperateCtrl(panelSETTINGS_A, SETTINGS_A_TEMPLATE, "delta");
    EXPECT_EQ(text(SETTINGS_A_ORIGIN), "new origin");
    SetStatus("");
    OperateCtrl(panelSETTINGS_A, SETTINGS_A_LOAD);
    EXPECT_EQ(StatusLine(), "");
    EXPECT_EQ(popups->shown.size(), 2u);
    OperateCtrl(panelSETTINGS_A, SETTINGS_A_SAVE);
    EXPECT_EQ(item("delta", "Origin"), "new origin");
    EXPECT_EQ(item("delta", "Description"), "new text\n");
    press("delta", SETTINGS_A_DELETE);

    // A name differing only in letter case is the same template.
    popups->confirmAnswers = {1};
    store("ALPHA", "A");
    EXPECT_EQ(popups->shown.back().kind, "confirm");
    EXPECT_EQ(listed(), (std::vector<std::string>{"beta", "ALPHA"}));
}

TEST_F(TemplatesTest, NamesTheFileCannotHoldAreRefused) {
    const std::string names[] = {"[a]", "a]b", "a=b", "two\nlines", "tab\there", " lead", "trail ",
                                 "TEMPLATE DATA", "Template Data", std::string(100, 'x')};
    for (const std::string &name : names) {
        popups->shown.clear();
        store(name);
        ASSERT_EQ(popups->shown.size(), 1u) << name;
        EXPECT_EQ(popups->shown[0].title, "ATTENTION!") << name;
        EXPECT_EQ(popups->shown[0].text, TemplateNameProblem(name)) << name;
        EXPECT_NE(TemplateNameProblem(name), nullptr) << name;
    }
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path))) << "nothing was written";

    popups->shown.clear();
    store(kNewTemplate);
    EXPECT_TRUE(popups->shown.empty());
    store(std::string(99, 'x'));
    EXPECT_TRUE(popups->shown.empty());
    EXPECT_EQ(listed(), std::vector<std::string>{std::string(99, 'x')});
}

TEST_F(TemplatesTest, ADamagedFileLoadsWhatIsReadable) {
    // A good record for alpha, written by the program.
    store("alpha", "from bench");
    const std::string alphaRecord = item("alpha", "Parameter");
    std::string file = "[TEMPLATE DATA]\n"
                       "Number of templates = 7\n"
                       "Template0 = \"alpha\"\n"
                       "Template2 = \"ghost\"\n"
                       "Template3 = \"ALPHA\"\n"
                       "Template4 = \"TEMPLATE DATA\"\n"
                       "Template9 = \"beta\"\n"
                       "TemplateX = \"nothing\"\n"
                       "[beta]\n"
                       "Origin = \"b\"\n"
                       "Parameter = \"00\"\n";
    const std::string current = FileText(path);
    file += current.substr(current.find("[alpha]"));
    WriteText(path, file);

    EXPECT_EQ(restart(), 1);
    EXPECT_EQ(listed(), (std::vector<std::string>{"alpha", "beta"}));
    EXPECT_EQ(text(SETTINGS_A_ORIGIN), "from bench");
    OperateCtrl(panelSETTINGS_A, SETTINGS_A_TEMPLATE, "beta");
    EXPECT_EQ(description(), "Not found");
    EXPECT_EQ(text(SETTINGS_A_CREATED), "Not found");

    // A record of the wrong size is refused, the panels stay.
    unsigned short before[PARAM_WORDS] = {}, after[PARAM_WORDS] = {};
    GetPanelValues(before);
    OperateCtrl(panelSETTINGS_A, SETTINGS_A_LOAD);
    EXPECT_EQ(popups->lastMessage("ATTENTION!"), "Failed to read from template file.");
    GetPanelValues(after);
    EXPECT_TRUE(std::equal(before, before + PARAM_WORDS, after));

    // The next store writes the list anew from what was readable.
    store("gamma");
    EXPECT_EQ(item("TEMPLATE DATA", "Number of templates"), "3");
    EXPECT_EQ(item("TEMPLATE DATA", "Template0"), "alpha");
    EXPECT_EQ(item("TEMPLATE DATA", "Template1"), "beta");
    EXPECT_EQ(item("TEMPLATE DATA", "Template2"), "gamma");
    EXPECT_EQ(item("TEMPLATE DATA", "Template3"), "<missing>");
    EXPECT_EQ(item("TEMPLATE DATA", "Template9"), "<missing>");
    EXPECT_EQ(item("alpha", "Parameter"), alphaRecord);
}

TEST_F(TemplatesTest, FilesThatAreNoTemplatesFilesAreNeitherListedWrongNorWritten) {
    // Some other INI file: no count, so nothing is stored into it.
    WriteText(path, "[PORTS]\nCOM1 = \"/dev/ttyS0\"\n");
    EXPECT_EQ(restart(), -1);
    EXPECT_EQ(listed(), std::vector<std::string>{kNewTemplate});
    store("alpha");
    EXPECT_EQ(popups->lastMessage("ERROR"), "Error reading template file.");
    EXPECT_EQ(FileText(path), "[PORTS]\nCOM1 = \"/dev/ttyS0\"\n");

    // Binary junk holds no section: an empty list, and storing starts the file.
    std::string junk(4096, '\0');
    for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>(0x80 | ((i * 7919) & 0x7F));
    WriteText(path, junk);
    restart();
    EXPECT_EQ(listed(), std::vector<std::string>{kNewTemplate});
    store("alpha");
    EXPECT_EQ(listed(), std::vector<std::string>{"alpha"});

    // A templates file that cannot be read: every operation says so.
    std::remove(path.c_str());
    ASSERT_TRUE(QDir().mkdir(QString::fromStdString(path)));
    popups->shown.clear();
    store("alpha");
    EXPECT_EQ(popups->lastMessage("ATTENTION!"), "Failed to read from template file.");
    press("alpha", SETTINGS_A_LOAD);
    EXPECT_EQ(popups->lastMessage("ATTENTION!"), "Failed to read from template file.");
    press("alpha", SETTINGS_A_DELETE);
    EXPECT_EQ(popups->lastMessage("ATTENTION!"), "Template deletion failed.");
    EXPECT_EQ(popups->shown.size(), 3u);
    EXPECT_EQ(loadTemplatesFromFile(path.c_str(), 0), 1);
    QDir().rmdir(QString::fromStdString(path));
}

} // namespace
