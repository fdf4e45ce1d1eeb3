#include "recorder/report.h"

#include "core/panels.h"
#include "core/program.h"
#include "core/status.h"
#include "link/frame.h"
#include "link/transport.h"
#include "measure/data.h"
#include "measure/graphs.h"
#include "params/binding.h"
#include "params/origin.h"
#include "params/parafile.h"
#include "params/record.h"
#include "recorder/recfile.h"
#include "ui/engine/document.h"
#include "ui/engine/engine.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

const char kReportTitle[] = "Commissioning report";

namespace {

constexpr double kSampleMax = 4096.0; // the curves' and the analog output's full scale

std::string linkText() {
    // The port the link was opened with, whatever the dialog's field holds.
    if (tcpcon == 1) return std::string("TCP/IP, ") + ipBuf + ":" + std::to_string(portNum);
    if (rs232con == 1) {
        const long rate = baud >= 0 && baud < kBaudRateCount ? kBaudRates[baud] : 0;
        std::string text = "RS-232, COM" + std::to_string(comport);
        const std::string device = GetComPortDevice(comport);
        if (!device.empty()) text += " (" + device + ")";
        return text + ", " + std::to_string(rate) + " baud";
    }
    return "none (no controller connected)";
}

std::string originText(const RecordOrigin &o) {
    switch (o.source) {
    case RecordSource::ControllerRam: return "read from the controller's RAM on " + o.time;
    case RecordSource::ControllerEeprom: return "read from the controller's EEPROM on " + o.time;
    case RecordSource::File: return "loaded from a parameter file on " + o.time;
    case RecordSource::Template: return "loaded from a template on " + o.time;
    case RecordSource::None: break;
    }
    return "as set on the panels";
}

DocBlock heading(const std::string &text) {
    DocBlock b;
    b.kind = DocBlock::Heading;
    b.text = text;
    return b;
}

DocBlock paragraph(const std::string &text) {
    DocBlock b;
    b.kind = DocBlock::Paragraph;
    b.text = text;
    return b;
}

DocCurve curve(const char *name, int colour, const std::vector<double> &x, const std::vector<double> &y) {
    DocCurve c;
    c.name = name;
    c.color = colour;
    c.width = 1.0;
    c.x = x;
    c.y = y;
    return c;
}

// The DATA graph as the last pass left it: both curves, each channel's
// trigger level and pretrigger, and the event markers the trigger data place.
DocBlock dataPlot(const unsigned short *rec) {
    const int n = std::clamp(dataCurveSamples, 1, CURVE_SAMPLES);
    DocBlock b;
    b.kind = DocBlock::Plot;
    DocPlot &p = b.plot;
    p.xLabel = "sample";
    p.yLabel = "signal";
    p.xMin = 0.0;
    p.xMax = n;
    p.yMin = 0.0;
    p.yMax = kSampleMax;
    std::vector<double> x(static_cast<std::size_t>(n)), a(x.size()), bb(x.size());
    for (int i = 0; i < n; ++i) {
        x[static_cast<std::size_t>(i)] = i;
        a[static_cast<std::size_t>(i)] = yArrayA[i];
        bb[static_cast<std::size_t>(i)] = yArrayB[i];
    }
    p.curves.push_back(curve("Channel A", VAL_BLUE, x, a));
    p.curves.push_back(curve("Channel B", VAL_DK_GREEN, x, bb));
    struct Level {
        int level, pretrigger, colour;
        const char *name;
    };
    for (const Level &l : {Level{PW_CHA_TRIGGERLEVEL, PW_CHA_PRETRIGGER, VAL_BLUE, "A"},
                           Level{PW_CHB_TRIGGERLEVEL, PW_CHB_PRETRIGGER, VAL_DK_GREEN, "B"}}) {
        p.marks.push_back({false, static_cast<double>(rec[l.level]), l.colour, VAL_DASH_DOT,
                           std::string("Trigger level ") + l.name});
        p.marks.push_back({true, static_cast<double>(rec[l.pretrigger]), l.colour, VAL_DASH_DOT,
                           std::string("Pretrigger ") + l.name});
    }
    struct Event {
        int word, channel, colour;
        const char *text;
    };
    for (const Event &e : {Event{RD_RESET_A_EVENT, 0, VAL_BLUE, "Reset A"},
                           Event{RD_RESET_B_EVENT, 1, VAL_DK_GREEN, "Reset B"},
                           Event{RD_EVAL1_EVENT, 0, EVAL1_MARKER_COLOUR, "Eval 1"},
                           Event{RD_EVAL2_EVENT, 0, EVAL2_MARKER_COLOUR, "Eval 2"}}) {
        double at = 0.0;
        if (EventMarkerPosition(e.word, e.channel, n, &at))
            p.marks.push_back({true, at, e.colour, VAL_DASH_DOT_DOT, e.text});
    }
    return b;
}

// The analog output over its input as rec sets it, on the x range the
// analog output panel shows.
DocBlock analogPlot(const unsigned short *rec) {
    const short lo = static_cast<short>(rec[PW_ANA_MIN]), hi = static_cast<short>(rec[PW_ANA_MAX]);
    double xMin = 0.0, xMax = kSampleMax;
    if (anagraph_mode == 0 && lo != hi) {
        xMin = std::min(lo, hi);
        xMax = std::max(lo, hi);
    }
    // The characteristic is computed into the analog graph's own arrays;
    // they are given back as they were.
    double keptX[256], keptY[256];
    std::memcpy(keptX, dxArray, sizeof keptX);
    std::memcpy(keptY, dyArray, sizeof keptY);
    ComputeAnalogCharacteristic(lo, hi, xMin, xMax);
    const std::vector<double> x(dxArray, dxArray + 256), y(dyArray, dyArray + 256);
    std::memcpy(dxArray, keptX, sizeof keptX);
    std::memcpy(dyArray, keptY, sizeof keptY);

    DocBlock b;
    b.kind = DocBlock::Plot;
    DocPlot &p = b.plot;
    p.heightMm = 55.0;
    p.xLabel = "input";
    p.yLabel = "output";
    p.xMin = xMin;
    p.xMax = xMax;
    p.yMin = 0.0;
    p.yMax = kSampleMax;
    DocCurve c = curve("Analog output", VAL_DK_RED, x, y);
    c.width = 1.5;
    p.curves.push_back(c);
    for (const AnalogMark &m : AnalogOutputMarks(rec[PW_ANA_SOURCE], rec)) {
        std::string text = m.text;
        text.erase(0, text.find_first_not_of(' '));
        p.marks.push_back({true, m.x, m.colour, VAL_SOLID, text});
    }
    return b;
}

// The parameters that are not off or zero, section by section: what sets
// this controller apart, without six pages of "False". The program knows no
// factory defaults of the controller; a section all off or zero is left out.
DocBlock parametersSet(const std::vector<ShownParaSection> &sections, std::size_t *sectionsSet) {
    constexpr std::size_t kShownPerSection = 6; // the rest counted, so the summary keeps to its page
    DocBlock b;
    b.kind = DocBlock::Table;
    b.leftPercent = 28.0;
    *sectionsSet = 0;
    for (const ShownParaSection &s : sections) {
        std::string text;
        std::size_t set = 0;
        for (std::size_t k = 0; k < s.keys.size(); ++k) {
            if (k >= s.set.size() || !s.set[k]) continue;
            if (set < kShownPerSection) text += (set ? "; " : "") + s.keys[k].first + " = " + s.keys[k].second;
            ++set;
        }
        if (set == 0) continue;
        ++*sectionsSet;
        if (set > kShownPerSection) text += "; and " + std::to_string(set - kShownPerSection) + " more";
        b.rows.push_back({s.name, text});
    }
    return b;
}

// The note as typed: a paragraph for each of its lines, however long.
void addNote(Document &doc, const std::string &note) {
    if (note.empty()) {
        doc.blocks.push_back(paragraph("No note was given."));
        return;
    }
    std::size_t from = 0;
    while (from <= note.size()) {
        const std::size_t end = std::min(note.find('\n', from), note.size());
        std::string line = note.substr(from, end - from);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        doc.blocks.push_back(paragraph(line));
        from = end + 1;
    }
}

// A short note stands in the summary as it is; a long one is named there.
std::string noteInSummary(const std::string &note) {
    constexpr std::size_t kShort = 300;
    if (note.empty()) return "(none)";
    if (note.size() <= kShort && note.find('\n') == std::string::npos) return note;
    return std::to_string(note.size()) + " characters, given whole under \"Note and sign-off\" at the end";
}

DocBlock signOff() {
    DocBlock b;
    b.kind = DocBlock::Table;
    b.leftPercent = 32.0;
    // Room to write by hand: the value cells are left empty, the signature
    // cells a few lines high.
    const std::string space = "\n\n\n";
    b.rows = {
        {"Commissioning performed by (name, company)", "\n"},
        {"Date and place", "\n"},
        {"Signature of the technician", space},
        {"Accepted for the customer by (name)", "\n"},
        {"Signature of the customer", space},
    };
    return b;
}

} // namespace

int WriteReport(const std::string &path, const std::string &note, std::string *error) {
    unsigned short rec[PARAM_WORDS];
    std::copy(param, param + PARAM_WORDS, rec);
    GetPanelValues(rec);
    const RecordOrigin origin = OriginOf(rec);
    const std::string date = DateStr(), time = TimeStr();
    const std::vector<ShownParaSection> sections = ShownParaValues(rec);

    Document doc;
    doc.title = std::string("Q-VEX-MOD7-ARC ") + kReportTitle;
    doc.footer = doc.title + ", " + date + " " + time;
    DocBlock title;
    title.kind = DocBlock::Title;
    title.text = doc.title;
    doc.blocks.push_back(title);

    // The first page is the summary: who, what and what was set.
    doc.blocks.push_back(heading("Summary"));
    DocBlock about;
    about.kind = DocBlock::Table;
    about.leftPercent = 28.0;
    about.rows = {
        {"Date", date},
        {"Time", time},
        {"Controller version", tcpcon == 1 || rs232con == 1 ? std::string(szVersionShown) : "not read (no link)"},
        {"Link", linkText()},
        {"Program version", std::string(szSoftname) + szSoftversion},
        {"Parameters", originText(origin)},
    };
    if (origin.source == RecordSource::Template) about.rows.push_back({"Template", origin.name});
    about.rows.push_back({"Note", noteInSummary(note)});
    doc.blocks.push_back(about);
    doc.blocks.push_back(heading("Parameters that are set"));
    std::size_t sectionsSet = 0;
    DocBlock set = parametersSet(sections, &sectionsSet);
    doc.blocks.push_back(paragraph(std::to_string(sectionsSet) + " of " + std::to_string(sections.size()) +
                                   " sections hold a parameter that is not off or zero; those parameters follow. "
                                   "Every parameter, with its value, is listed under \"Parameters\" further on."));
    if (!set.rows.empty()) doc.blocks.push_back(std::move(set));

    DocBlock curves = heading("Recorded curves of the last DATA read");
    curves.newPage = true;
    doc.blocks.push_back(curves);
    if (dataCurveSamples > 0) doc.blocks.push_back(dataPlot(rec));
    else
        doc.blocks.push_back(paragraph("No curves of a DATA read to show: none was made since the program started, "
                                       "or a graph capture has read other curves since."));

    doc.blocks.push_back(heading("Analog output characteristic"));
    doc.blocks.push_back(analogPlot(rec));

    doc.blocks.push_back(heading("Parameters"));
    doc.blocks.back().newPage = true;
    doc.blocks.push_back(paragraph("Sections and keys as the parameter file names them; values as it writes them."));
    DocBlock parameters;
    parameters.kind = DocBlock::Table;
    for (const ShownParaSection &s : sections) {
        parameters.rows.push_back({s.name, "", true});
        for (const auto &[key, value] : s.keys) parameters.rows.push_back({key, value});
    }
    doc.blocks.push_back(std::move(parameters));

    // The technician's note, whole, on as many pages as it takes, then the
    // signatures under it.
    doc.blocks.push_back(heading("Note and sign-off"));
    doc.blocks.back().newPage = true;
    addNote(doc, note);
    doc.blocks.push_back(signOff());
    return WriteDocumentPdf(doc, path, error);
}

namespace {

// The report's file dialog opens where the record file is, when one is
// chosen: a commissioning's files stay together.
std::string reportDirectory() {
    const std::string chosen = recorder_status == 1 ? std::string(file_name) : std::string();
    const std::size_t slash = chosen.find_last_of('/');
    if (slash != std::string::npos && slash > 0) return chosen.substr(0, slash);
    return GetWritableDataDir();
}

// Why a report cannot be written to path, or "": its folder must exist and
// take new files (the report is written beside it and renamed over it).
std::string unwritable(const std::string &path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return "Cannot write \"" + path + "\": the folder \"" + folder + "\" does not exist";
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return "Cannot write \"" + path + "\": no permission to write in the folder \"" + folder + "\"";
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return "Cannot write \"" + path + "\": not a regular file";
    return std::string();
}

} // namespace

Outcome ReportFromPanels() {
    std::string path, note;
    if (FileSelectPopup(reportDirectory().c_str(), "report.pdf", "*.pdf", kReportTitle, VAL_SAVE_BUTTON, 0, 1, 1, 1,
                        &path) < 1)
        return Outcome::Cancelled("no file chosen for the report");
    // Checked before the note is asked for: a note is never typed for a
    // file that cannot be written.
    if (const std::string problem = unwritable(path); !problem.empty()) {
        MessagePopup("Error", problem.c_str());
        return Outcome::Failed(problem);
    }
    if (PromptPopup(kReportTitle, "A note for the report (machine, place, what was set up and done):", &note,
                    kReportNoteMax) < 1)
        return Outcome::Cancelled("no note given for the report");
    std::string error;
    const int pages = WriteReport(path, note, &error);
    if (pages == 0) {
        MessagePopup("Error", error.c_str());
        return Outcome::Failed(error);
    }
    SetStatusF("Report written: %s (%d pages).", path.c_str(), pages);
    Outcome outcome = Outcome::Done();
    outcome.count = pages;
    return outcome;
}

int CC_CMD_REPORT(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) ReportFromPanels();
    return 0;
}
