// The program connected over TCP to the in-process simulator, with the
// recorder reset before every test, a folder for record files and a reader
// for what the recorder wrote.
#pragma once

#include "tests/measure/measure_fixture.h"

#include "recorder/capture.h"
#include "recorder/recfile.h"
#include "recorder/recorder.h"
#include "ui/panels/recorder_ids.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <string>
#include <vector>

// The file dialog itself tells an existing file from a new one.
using RecorderPopups = ScriptedPopups;

inline std::string ReadWholeFile(const std::string &path) {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    return f.readAll().toStdString();
}

inline void WriteWholeFile(const std::string &path, const std::string &text) {
    QFile f(QString::fromStdString(path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.data(), static_cast<qint64>(text.size()));
}

// The record file as a spreadsheet sees it: lines split at CR LF, fields at
// commas. A bare LF or CR anywhere is a fault of the file.
struct RecordText {
    std::vector<std::string> lines;
    bool bareLineEnd = false;

    explicit RecordText(const std::string &text) {
        std::string line;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                lines.push_back(line);
                line.clear();
                ++i;
            } else {
                if (text[i] == '\r' || text[i] == '\n') bareLineEnd = true;
                line += text[i];
            }
        }
        lines.push_back(line);
    }
    static std::vector<std::string> fields(const std::string &line) {
        std::vector<std::string> out(1);
        for (char c : line) {
            if (c == ',') out.emplace_back();
            else out.back() += c;
        }
        return out;
    }
    // Index of the first line equal to text, or -1.
    int find(const std::string &text, int from = 0) const {
        for (int i = from; i < static_cast<int>(lines.size()); ++i)
            if (lines[std::size_t(i)] == text) return i;
        return -1;
    }
};

constexpr char kColumnLine[] =
    "INDEX,TIMESTAMP,RESULT A,NORM A,RAW A,MAX{ RAW A },RESULT B,NORM B,RAW B,MAX{ RAW B },EVAL 1,EVAL 2,";

inline bool IsTime(const std::string &s) {
    return s.size() == 8 && s[2] == ':' && s[5] == ':' && std::isdigit(static_cast<unsigned char>(s[0])) &&
           std::isdigit(static_cast<unsigned char>(s[7]));
}

class RecorderTest : public MeasureTest {
  protected:
    QTemporaryDir dir;
    RecorderPopups *recPopups = nullptr;

    void SetUp() override {
        MeasureTest::SetUp();
        popups.reset();
        auto p = std::make_unique<RecorderPopups>();
        recPopups = p.get();
        popups = std::move(p);
        std::snprintf(portNumStr, sizeof portNumStr, "%u", static_cast<unsigned>(sim.tcpPort()));
        recorder_stop_flag = 1;
        recstate = 1;
        recorder_status = 0;
        headerwritten = 0;
        file_handle = -1;
        file_name[0] = '\0';
        recwerte = 0;
        SetCtrlVal(panelRECORDER, RECORDER_TYPE, REC_TYPE_MANUAL);
        SetCtrlVal(panelRECORDER, RECORDER_INTERVAL, 0.0);
        SetCtrlVal(panelRECORDER, RECORDER_NUM_SETS, 5);
        set_recorder_attributes(1, 1, -1, -1, -1);
    }
    void TearDown() override {
        recorder_stop_flag = 1;
        MeasureTest::TearDown();
    }

    std::string path(const char *name) const { return MakePathname(dir.path().toStdString(), name); }
    // Chooses a record file through the file command, answering yes to the
    // overwrite question.
    void chooseFile(const std::string &file) {
        popups->fileAnswers.push_back(file);
        OperateCtrl(panelRECORDER, RECORDER_FILE_SELECT);
    }
    void setType(int type) { OperateCtrl(panelRECORDER, RECORDER_TYPE, type); }
    // An automatic run of `rows` data sets at `interval` seconds; `during`
    // runs on the 1 ms watcher while the run loops.
    void runAutomatic(int rows, double interval = 0.0) {
        SetCtrlVal(panelRECORDER, RECORDER_NUM_SETS, rows);
        SetCtrlVal(panelRECORDER, RECORDER_INTERVAL, interval);
        OperateCtrl(panelRECORDER, RECORDER_START);
    }
    int shown(int panel, int control) {
        int v = -1;
        GetCtrlVal(panel, control, &v);
        return v;
    }
    std::string label(int panel, int control) {
        std::string s;
        GetCtrlAttribute(panel, control, ATTR_LABEL_TEXT, &s);
        return s;
    }
    std::string text(int panel, int control) {
        std::string s;
        GetCtrlVal(panel, control, &s);
        return s;
    }
};
