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
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace {

// What the simulator's default record and the panels give: the summary, a
// page of curves, six pages of parameters, the note with the sign-off.
constexpr int kReportPages = 9;

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

// The text of one page, lines as pdftotext reads them.
std::string pageText(const std::string &path, int page) {
    return run("pdftotext", {"-f", QString::number(page), "-l", QString::number(page), QString::fromStdString(path), "-"});
}

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
    // report gives it word for word (2000, not 2000.00000).
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
    EXPECT_EQ(StatusLine(), "Report written: " + pdf + " (" + std::to_string(kReportPages) + " pages).");
    writeParameterFile(ini);

    if (const char *keep = std::getenv("QVEX_REPORT_PDF")) QFile::copy(QString::fromStdString(pdf), keep);
    const ReportText r(pdf, sectionNames());
    expectEveryKeyOfTheFile(r, ini);
    EXPECT_EQ(r.sections.at("EVALUATION 1").at("Reference value").rfind("1234.5678", 0), 0u);
    EXPECT_EQ(r.sections.at("CHANNEL A").at("Triggerlevel"), "2000");
    ASSERT_FALSE(std::string(szVersionShown).empty());
    EXPECT_EQ(r.row("Controller version"), szVersionShown);
    EXPECT_EQ(r.row("Link"), "TCP/IP, 127.0.0.1:" + std::to_string(sim.tcpPort()));
    EXPECT_EQ(r.row("Program version"), std::string(szSoftname) + szSoftversion);
    EXPECT_EQ(r.row("Note"), "Line 4, press 2: sensor head replaced");
    EXPECT_EQ(r.row("Date"), DateStr());
    // The reference was changed after the read: the panels' own record now.
    EXPECT_EQ(r.row("Parameters"), "as set on the panels");
    EXPECT_TRUE(r.has("Page 1 of 9") && r.has("Page 9 of 9"));
    // The first page sums up: the parameters that are set, by section, and
    // none that is off.
    const std::string first = pageText(pdf, 1);
    EXPECT_NE(first.find("Parameters that are set"), std::string::npos) << first;
    EXPECT_NE(first.find("Triggerlevel = 2000"), std::string::npos) << first;
    EXPECT_EQ(first.find("False"), std::string::npos) << first;
    // Every page of parameters after the first starts with a section heading,
    // repeated as continued where its section goes on from the page before.
    int continued = 0;
    const std::vector<std::string> names = sectionNames();
    for (int page = 4; page <= 8; ++page) {
        std::istringstream in(pageText(pdf, page));
        std::string top;
        std::getline(in, top);
        const bool heading = std::find(names.begin(), names.end(), top) != names.end();
        const bool repeated = top.size() > 12 && top.compare(top.size() - 12, 12, " (continued)") == 0;
        EXPECT_TRUE(heading || repeated) << "page " << page << " begins " << top;
        continued += repeated;
    }
    EXPECT_GE(continued, 1);
    const std::string last = pageText(pdf, kReportPages);
    EXPECT_NE(last.find("Line 4, press 2: sensor head replaced"), std::string::npos) << last;
    EXPECT_NE(last.find("Signature of the technician"), std::string::npos) << last;
    EXPECT_NE(last.find("Signature of the customer"), std::string::npos) << last;
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
    // With a record file chosen, the dialog opens in its folder.
    chooseFile(path("record.csv"));
    popups->fileAnswers.push_back("");
    ReportFromPanels();
    EXPECT_EQ(popups->fileRequests.back().defaultDirectory, dir.path().toStdString());
    popups->fileAnswers.push_back(pdf); // no note: the question cancelled
    const Outcome noNote = ReportFromPanels();
    EXPECT_EQ(noNote.kind, OutcomeKind::Cancelled);
    EXPECT_EQ(noNote.count, 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(pdf)));

    // A folder that does not exist is said before a note is typed for it.
    popups->shown.clear();
    EXPECT_EQ(report(path("missing/report.pdf"), "x"), 0);
    EXPECT_NE(popups->lastMessage("Error").find("missing/report.pdf"), std::string::npos);
    EXPECT_EQ(std::count_if(popups->shown.begin(), popups->shown.end(), [](const auto &p) { return p.kind == "prompt"; }),
              0);
    popups->promptAnswers.clear();
    // The file dialog gives the report its extension.
    EXPECT_EQ(report(path("named"), "x"), kReportPages);
    EXPECT_TRUE(QFile::exists(dir.filePath("named.pdf")));
    EXPECT_TRUE(frames().empty()) << "a report never talks to the controller";
}

// The text of a report's pages from `first` on, without the page feet, its
// white space folded to single blanks.
std::string bodyText(const std::string &pdf, int first) {
    std::istringstream in(run("pdftotext", {"-f", QString::number(first), QString::fromStdString(pdf), "-"}));
    std::string out;
    for (std::string line; std::getline(in, line);) {
        line = trimmed(line);
        if (line.rfind("Q-VEX-MOD7-ARC Commissioning report,", 0) == 0 || line.rfind("Page ", 0) == 0) continue;
        std::istringstream words(line);
        for (std::string w; words >> w;) out += w + " ";
    }
    return out;
}

// A note of 10,000 characters, typed at REPORT or given to qvex-ctl report,
// stands whole in the report, over as many pages as it takes, before the
// sign-off; a file-size limit too small for the report is named as such.
TEST_F(ReportTest, ALongNoteIsKeptWholeBeforeTheSignOffAndAFileSizeLimitIsSaid) {
    std::string note;
    for (int i = 0; note.size() < 10000; ++i) note += "step" + std::to_string(i) + (i % 40 == 39 ? "\n" : " ");
    note.resize(10000);
    std::string folded;
    {
        std::istringstream words(note);
        for (std::string w; words >> w;) folded += w + " ";
    }
    const std::string pdf = path("long-note.pdf");
    const int pages = report(pdf, note);
    ASSERT_GT(pages, kReportPages) << popups->lastMessage("Error");
    if (const char *keep = std::getenv("QVEX_NOTE_PDF")) QFile::copy(QString::fromStdString(pdf), keep);
    const std::string body = bodyText(pdf, kReportPages);
    EXPECT_NE(body.find(folded), std::string::npos) << "the note, whole and once, in order";
    EXPECT_GT(body.find("Signature of the customer"), body.find(folded));
    EXPECT_NE(pageText(pdf, 1).find("10000 characters, given whole"), std::string::npos) << pageText(pdf, 1);

    // The same through qvex-ctl, which drives the same REPORT.
    const std::string ctlPdf = path("ctl-note.pdf");
    QProcess ctl;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    ctl.setProcessEnvironment(env);
    ctl.start(QFileInfo(QVEX_SCOPE_BIN).absolutePath() + "/qvex-ctl",
              {"report", "--from", "panels", "--out", QString::fromStdString(ctlPdf), "--note",
               QString::fromStdString(note)});
    ASSERT_TRUE(ctl.waitForFinished(60000));
    EXPECT_EQ(ctl.exitCode(), 0) << ctl.readAllStandardError().toStdString();
    EXPECT_NE(bodyText(ctlPdf, kReportPages).find(folded), std::string::npos);

    // Under a file-size limit (ulimit -f) the report is not written and the
    // box says why.
    rlimit kept{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &kept), 0);
    void (*signalKept)(int) = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = kept;
    small.rlim_cur = 8192;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int limited = report(path("limited.pdf"), "x");
    ::setrlimit(RLIMIT_FSIZE, &kept);
    std::signal(SIGXFSZ, signalKept);
    EXPECT_EQ(limited, 0);
    EXPECT_NE(popups->lastMessage("Error").find("more than the file-size limit"), std::string::npos)
        << popups->lastMessage("Error");
    EXPECT_FALSE(QFile::exists(path("limited.pdf").c_str()));
}

} // namespace
