// The commissioning report (REPORT) against the simulator, read back the way
// anyone would read it: poppler's pdftotext, pdfinfo and pdfimages. qvex-ctl's
// report is test_ctl's; the SVG export of the graphs is test_ui's.
#include "tests/recorder/recorder_fixture.h"

#include "ini/inifile.h"
#include "params/parafile.h"
#include "params/transfer.h"
#include "recorder/capture.h"
#include "recorder/report.h"
#include "ui/engine/numbers.h"
#include "ui/panels/power_ids.h"
#include "ui/panels/settings_ids.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

// What the simulator's default record and the panels give: seven pages, the
// first for the controller and the graphs, six for the parameters.
constexpr int kReportPages = 7;

std::string run(const QString &program, const QStringList &args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000)) return "<" + program.toStdString() + " did not end>";
    return p.readAllStandardOutput().toStdString();
}

// Without the blanks around it, and the form feed pdftotext puts before a page.
std::string trimmed(const std::string &s) {
    const std::size_t a = s.find_first_not_of(" \f"), b = s.find_last_not_of(' ');
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

// The report as pdftotext lays it out: every line, and per section heading
// the key and value of each table row under it ("key   value", the columns
// apart by two blanks or more).
struct ReportText {
    std::string text;
    std::vector<std::string> lines;
    std::map<std::string, std::map<std::string, std::string>> sections;

    ReportText(const std::string &path, const std::vector<std::string> &names) {
        text = run("pdftotext", {"-layout", QString::fromStdString(path), "-"});
        std::istringstream in(text);
        std::string current;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
            const std::string t = trimmed(line);
            if (std::find(names.begin(), names.end(), t) != names.end()) {
                current = t;
                continue;
            }
            const std::size_t gap = t.find("  ");
            if (current.empty() || gap == std::string::npos) continue;
            sections[current].emplace(t.substr(0, gap), trimmed(t.substr(gap)));
        }
    }
    bool has(const std::string &s) const { return text.find(s) != std::string::npos; }
    // The value of a row of the first table ("Date", "Link", ...).
    std::string row(const std::string &key) const {
        for (const std::string &l : lines) {
            const std::string t = trimmed(l);
            if (t.compare(0, key.size() + 2, key + "  ") == 0) return trimmed(t.substr(key.size()));
        }
        return "<no row " + key + ">";
    }
};

int pdfPages(const std::string &path) {
    std::smatch m;
    const std::string info = run("pdfinfo", {QString::fromStdString(path)});
    return std::regex_search(info, m, std::regex("Pages:\\s+(\\d+)")) ? std::stoi(m[1]) : -1;
}

class ReportTest : public RecorderTest {
  protected:
    // REPORT as its button runs it: a file name, then the note. The pages
    // written, 0 when none.
    int report(const std::string &file, const std::string &note) {
        popups->fileAnswers.push_back(file);
        popups->promptAnswers.push_back(note);
        const Outcome outcome = ReportFromPanels();
        EXPECT_EQ(outcome.done(), outcome.count > 0) << outcome.reason;
        return outcome.count;
    }
    // SEND with the file target: the parameter file of the panels' record.
    void writeParameterFile(const std::string &file) {
        OperateCtrl(panelMAIN, MAIN_RADIO_FILE);
        popups->fileAnswers.push_back(file);
        OperateCtrl(panelMAIN, MAIN_BTN_SEND);
        ASSERT_EQ(StatusLine(), "Parameter saved to file.");
    }
    void getFromRam() {
        OperateCtrl(panelMAIN, MAIN_RADIO_RAM);
        const Outcome outcome = GetPanels();
        ASSERT_TRUE(outcome.done()) << outcome.reason;
        ASSERT_EQ(outcome.reason, StatusLine());
    }
    // Every section and key of the parameter file, with the value the
    // report gives it: numbers equal to the panels' five decimals, any other
    // value word for word.
    void expectEveryKeyOfTheFile(const ReportText &r, const std::string &iniPath) {
        IniHolder ini(0);
        ASSERT_GE(Ini_ReadFromFile(ini, iniPath.c_str()), 0);
        int keys = 0;
        for (int s = 0; s < Ini_NumberOfSections(ini); ++s) {
            const std::string section = Ini_NthSectionName(ini, s);
            auto shown = r.sections.find(section);
            ASSERT_NE(shown, r.sections.end()) << "section " << section;
            for (int i = 0; i < Ini_NumberOfItems(ini, section.c_str()); ++i) {
                const std::string key = Ini_NthItemName(ini, section.c_str(), i);
                std::string value;
                Ini_GetStdString(ini, section.c_str(), key.c_str(), &value);
                auto it = shown->second.find(key);
                ASSERT_NE(it, shown->second.end()) << "[" << section << "] " << key;
                double a = 0, b = 0;
                if (ParseDecimal(value, &a) && ParseDecimal(it->second, &b))
                    EXPECT_NEAR(a, b, 0.5e-5 + 1e-9) << "[" << section << "] " << key << " = " << it->second;
                else
                    EXPECT_EQ(it->second, value) << "[" << section << "] " << key;
                ++keys;
            }
        }
        EXPECT_GT(keys, 250);
    }
    static std::vector<std::string> sectionNames() {
        std::vector<std::string> names;
        unsigned short rec[PARAM_WORDS] = {};
        for (const ShownParaSection &s : ShownParaValues(rec)) names.push_back(s.name);
        return names;
    }
};

TEST_F(ReportTest, AReportOfTheControllersRecordNamesEveryParameterAsTheFileDoes) {
    getFromRam();
    // A reference with a fraction, shown with the panels' five decimals.
    OperateCtrl(panelSETTINGS, SETTINGS_REFERENCE, 1234.56789);
    sim.advanceTime(100'000); // both channels hold a recording
    sim.clearRequestLog();
    stopAfter(1); // one DATA pass
    OperateCtrl(panelMAIN, MAIN_CMD_DATA);
    ASSERT_EQ(dataCurveSamples, 128);

    const std::string pdf = path("report.pdf"), ini = path("same.ini");
    const int pages = report(pdf, "Line 4, press 2: sensor head replaced");
    ASSERT_EQ(pages, kReportPages) << popups->lastMessage();
    EXPECT_EQ(pdfPages(pdf), pages);
    EXPECT_EQ(StatusLine(), "Report written: " + pdf + " (7 pages).");
    writeParameterFile(ini);

    if (const char *keep = std::getenv("QVEX_REPORT_PDF")) QFile::copy(QString::fromStdString(pdf), keep);
    const ReportText r(pdf, sectionNames());
    expectEveryKeyOfTheFile(r, ini);
    EXPECT_EQ(r.sections.at("EVALUATION 1").at("Reference value"), "1234.56789");
    ASSERT_FALSE(std::string(szVersionShown).empty());
    EXPECT_EQ(r.row("Controller version"), szVersionShown);
    EXPECT_EQ(r.row("Link"), "TCP/IP, 127.0.0.1:" + std::to_string(sim.tcpPort()));
    EXPECT_EQ(r.row("Program version"), std::string(szSoftname) + szSoftversion);
    EXPECT_EQ(r.row("Note"), "Line 4, press 2: sensor head replaced");
    EXPECT_EQ(r.row("Date"), DateStr());
    // The reference was changed after the read: the panels' own record now.
    EXPECT_EQ(r.row("Parameters"), "as set on the panels");
    EXPECT_TRUE(r.has("Page 1 of 7") && r.has("Page 7 of 7"));
    // The DATA graph's legend and lines, drawn as vectors: no picture in the file.
    for (const char *label : {"Channel A", "Channel B", "Trigger level A", "Pretrigger B", "Analog output"})
        EXPECT_TRUE(r.has(label)) << label;
    EXPECT_FALSE(r.has("No curves of a DATA read"));
    const std::string images = run("pdfimages", {"-list", QString::fromStdString(pdf)});
    EXPECT_EQ(std::count(images.begin(), images.end(), '\n'), 2) << images; // the list's two header lines

    // A graph capture reads other curves over the DATA pass's: they are no
    // DATA read's curves, and the report says it has none.
    chooseFile(path("capture.csv"));
    sim.advanceTime(100'000);
    const Outcome captured = CaptureGraph();
    ASSERT_TRUE(captured.done()) << captured.reason;
    ASSERT_EQ(report(path("after-capture.pdf"), ""), kReportPages);
    const ReportText afterCapture(path("after-capture.pdf"), {});
    EXPECT_TRUE(afterCapture.has("No curves of a DATA read to show")) << afterCapture.text.substr(0, 1500);
    EXPECT_FALSE(afterCapture.has("Trigger level A"));
}

TEST_F(ReportTest, AReportRightAfterTheReadSaysWhereTheRecordCameFromAndWithoutDataHasNoCurves) {
    dataCurveSamples = 0; // no DATA pass in this program run
    getFromRam();
    const std::string pdf = path("nodata.pdf"), ini = path("nodata.ini");
    EXPECT_EQ(report(pdf, ""), kReportPages);
    writeParameterFile(ini);
    const ReportText r(pdf, sectionNames());
    expectEveryKeyOfTheFile(r, ini);
    EXPECT_EQ(r.row("Parameters").rfind("read from the controller's RAM on " + DateStr(), 0), 0u)
        << r.row("Parameters");
    EXPECT_EQ(r.row("Note"), "(none)");
    EXPECT_TRUE(r.has("No curves of a DATA read to show: none was made since the program started,"));
    EXPECT_FALSE(r.has("Trigger level A"));
    EXPECT_TRUE(r.has("Analog output characteristic"));
}

TEST_F(ReportTest, ARecordLoadedFromATemplateIsNamedUntilThePanelsChange) {
    std::remove(templatesPath);
    OperateCtrl(panelSETTINGS_A, SETTINGS_A_TEMPLATE, std::string("Press 2, steel"));
    OperateCtrl(panelSETTINGS_A, SETTINGS_A_SAVE);
    OperateCtrl(panelPOWER, POWER_POWER, 321); // the panels differ from the template
    OperateCtrl(panelSETTINGS_A, SETTINGS_A_LOAD);
    ASSERT_EQ(StatusLine(), "Template \"Press 2, steel\" loaded. Parameter adjusted.");

    ASSERT_EQ(report(path("template.pdf"), "from the template"), kReportPages);
    const ReportText loaded(path("template.pdf"), {});
    EXPECT_EQ(loaded.row("Template"), "Press 2, steel");
    EXPECT_EQ(loaded.row("Parameters").rfind("loaded from a template on", 0), 0u) << loaded.row("Parameters");

    OperateCtrl(panelPOWER, POWER_POWER, 322);
    ASSERT_EQ(report(path("edited.pdf"), "edited"), kReportPages);
    const ReportText edited(path("edited.pdf"), {});
    EXPECT_EQ(edited.row("Template"), "<no row Template>");
    EXPECT_EQ(edited.row("Parameters"), "as set on the panels");
    std::remove(templatesPath);
}

TEST_F(ReportTest, CancellingTheFileOrTheNoteWritesNothingAndAnUnwritableFileIsSaid) {
    const std::string pdf = path("never.pdf");
    popups->fileAnswers.push_back(""); // cancelled
    EXPECT_EQ(ReportFromPanels().kind, OutcomeKind::Cancelled);
    popups->fileAnswers.push_back(pdf); // no note: the question cancelled
    const Outcome noNote = ReportFromPanels();
    EXPECT_EQ(noNote.kind, OutcomeKind::Cancelled);
    EXPECT_EQ(noNote.count, 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(pdf)));

    EXPECT_EQ(report(path("missing/report.pdf"), "x"), 0);
    EXPECT_NE(popups->lastMessage("Error").find("missing/report.pdf"), std::string::npos);
    // The file dialog gives the report its extension.
    EXPECT_EQ(report(path("named"), "x"), kReportPages);
    EXPECT_TRUE(QFile::exists(dir.filePath("named.pdf")));
    EXPECT_TRUE(frames().empty()) << "a report never talks to the controller";
}

} // namespace
