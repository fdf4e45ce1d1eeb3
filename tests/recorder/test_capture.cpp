// Graph capture against the simulator's triggered recordings, and the print
// of the main panel into a PDF file.
#include "tests/recorder/recorder_fixture.h"

#include "ui/engine/graph_explore_p.h"
#include "ui/engine/widgets.h"
#include "ui/panels/power_ids.h"

#include <QImage>
#include <QProcess>

#include <regex>
#include <set>

namespace {

class CaptureTest : public RecorderTest {
  protected:
    std::string file;
    void SetUp() override {
        RecorderTest::SetUp();
        file = path("graph.csv");
        chooseFile(file);
    }
    // Both channels hold a recording not yet fetched.
    void freshRecordings() { sim.advanceTime(100'000); }
};

TEST_F(CaptureTest, ACaptureRightAfterChoosingTheFileWritesTheHeaderThenBothCurves) {
    freshRecordings();
    const auto a = sim.lastRecording(0), b = sim.lastRecording(1);
    ASSERT_TRUE(a && b);
    sim::Faults slow;
    slow.delayMs = 10; // each value stays up long enough for the sampler
    sim.setFaults(slow);
    std::vector<int> progress;
    auto sample = [&] {
        const int p = shown(panelMAIN, MAIN_PROGRESS);
        if (progress.empty() || progress.back() != p) progress.push_back(p);
    };
    onTick = [&] {
        if (stop_flag == 0 && !sim.requestLog().empty()) sample();
    };
    const double t0 = Timer();
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE_GRAPH);
    EXPECT_GE(Timer() - t0, kCaptureSettling);
    sample();

    // 32 blocks of channel A and B in turn, then the re-arm.
    const auto log = frames();
    ASSERT_EQ(log.size(), 65u);
    for (int k = 0; k < 64; ++k) {
        EXPECT_EQ(command(log[std::size_t(k)]), 9);
        EXPECT_EQ(word(log[std::size_t(k)], 0), 0x6401 + k % 2) << k;
        EXPECT_EQ(word(log[std::size_t(k)], 1), 16 * (k / 2)) << k;
    }
    EXPECT_EQ(word(log[64], 0), 0x6400);
    EXPECT_FALSE(sim.newRecording(0)) << "re-armed";
    ASSERT_GE(progress.size(), 3u);
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress[progress.size() - 2], 98);
    EXPECT_EQ(progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    std::set<int> shares = {100}; // the share of the 1024 samples received before each block
    for (int i = 0; i < 512; i += 16)
        for (int s = 1; s <= 2; ++s) shares.insert(100 * (2 * i + 16 * s - 16) / 1024);
    for (int p : progress) EXPECT_EQ(shares.count(p), 1u) << p;
    EXPECT_EQ(Attr(panelMAIN, MAIN_PROGRESS, ATTR_FILL_COLOR), 0x008000);
    EXPECT_EQ(StatusLine(), "Data from source 2 index 496 to index 512 received. Trigger rearmed.");
    EXPECT_EQ(stop_flag, 1);
    EXPECT_EQ(Attr(panelRECORDER, RECORDER_CAPTURE_GRAPH, ATTR_DIMMED), 0);

    const std::string written = ReadWholeFile(file);
    const RecordText t(written);
    EXPECT_FALSE(t.bareLineEnd);
    EXPECT_EQ(t.lines.front(), "Logfile for recorded data.");
    const int section = t.find("Recorded analog graph.");
    ASSERT_GT(section, 1);
    EXPECT_EQ(t.lines[std::size_t(section - 2)], kColumnLine);
    EXPECT_EQ(t.lines[std::size_t(section - 1)], "");
    EXPECT_EQ(t.lines[std::size_t(section + 1)].substr(0, 11), "TIMESTAMP:,");
    EXPECT_TRUE(IsTime(t.lines[std::size_t(section + 1)].substr(11)));
    EXPECT_EQ(t.lines[std::size_t(section + 2)], "");
    EXPECT_EQ(t.lines[std::size_t(section + 3)], "INDEX,Channel A:,Channel B:,");
    for (int k = 0; k < 512; ++k)
        ASSERT_EQ(t.lines[std::size_t(section + 4 + k)], std::to_string(k) + "," +
                                                            std::to_string(int16_t(a->samples[std::size_t(k)])) + "," +
                                                            std::to_string(int16_t(b->samples[std::size_t(k)])));
    EXPECT_EQ(t.lines[std::size_t(section + 516)], "End of Graph");
    EXPECT_EQ(t.lines.size(), std::size_t(section) + 519u);
    EXPECT_EQ(written.substr(written.size() - 16), "End of Graph\r\n\r\n");
    EXPECT_EQ(recwerte, 0);
}

TEST_F(CaptureTest, NoNewTriggerLeavesTheFileUnchangedAndTheTriggerAlone) {
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE); // header and one row
    freshRecordings();
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE_GRAPH); // fetches and re-arms
    const std::string before = ReadWholeFile(file);
    sim.clearRequestLog();
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE_GRAPH);
    EXPECT_EQ(ReadWholeFile(file), before);
    EXPECT_EQ(frames().size(), 1u) << "no further block and no re-arm";
    EXPECT_EQ(StatusLine(), "No new trigger event. No data availible.");
    EXPECT_EQ(stop_flag, 1);
    EXPECT_EQ(Attr(panelRECORDER, RECORDER_CAPTURE_GRAPH, ATTR_DIMMED), 0);
    // A capture adds no row: the next manual row continues the index.
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE);
    EXPECT_EQ(RecordText(ReadWholeFile(file)).lines.back().substr(0, 2), "1,");
}

TEST_F(CaptureTest, CaptureDuringRunStopsTheLoopAndASecondPressCaptures) {
    freshRecordings();
    onTick = [&] {
        if (stop_flag == 0 && frames().size() >= 4) {
            OperateCtrl(panelRECORDER, RECORDER_CAPTURE_GRAPH);
            onTick = nullptr;
        }
    };
    OperateCtrl(panelMAIN, MAIN_CMD_RUN);
    EXPECT_EQ(popups->lastMessage("ATTENTION!"), "Cannot read data while in RUN mode.");
    EXPECT_EQ(stop_flag, 1);
    EXPECT_EQ(ReadWholeFile(file), "<missing>");
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE_GRAPH);
    EXPECT_NE(RecordText(ReadWholeFile(file)).find("End of Graph"), -1);
}

// SEND to File needs no link and runs while a capture waits for its curves;
// SEND to RAM would put requests between the capture's and is refused.
TEST_F(CaptureTest, FileSendDuringACaptureWritesTheFileWhileRamSendIsRefused) {
    freshRecordings();
    const std::string paraFile = path("during-capture.ini");
    SetCtrlVal(panelPOWER, POWER_POWER, 4321);
    std::string fileStatus, ramStatus;
    std::size_t framesBeforeRam = 0, framesAfterRam = 0;
    bool pressed = false;
    onTick = [&] {
        if (!pressed && stop_flag == 0 && frames().size() >= 4) {
            pressed = true;
            OperateCtrl(panelMAIN, MAIN_RADIO_FILE);
            popups->fileAnswers = {paraFile};
            OperateCtrl(panelMAIN, MAIN_BTN_SEND);
            fileStatus = StatusLine();
            OperateCtrl(panelMAIN, MAIN_RADIO_RAM);
            framesBeforeRam = frames().size();
            OperateCtrl(panelMAIN, MAIN_BTN_SEND);
            ramStatus = StatusLine();
            framesAfterRam = frames().size();
        }
    };
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE_GRAPH);
    EXPECT_EQ(fileStatus, "Parameter saved to file.");
    EXPECT_EQ(ramStatus, "Busy! The curves are still being read.");
    EXPECT_EQ(framesAfterRam, framesBeforeRam) << "the refused SEND sent nothing";
    EXPECT_EQ(frames().size(), 65u) << "the capture went on undisturbed";
    EXPECT_NE(RecordText(ReadWholeFile(file)).find("End of Graph"), -1);

    // The file holds the record the panels showed.
    SetCtrlVal(panelPOWER, POWER_POWER, 12);
    OperateCtrl(panelMAIN, MAIN_RADIO_FILE);
    popups->fileAnswers = {paraFile};
    OperateCtrl(panelMAIN, MAIN_BTN_GET);
    OperateCtrl(panelMAIN, MAIN_RADIO_RAM);
    EXPECT_EQ(shown(panelPOWER, POWER_POWER), 4321);
}

TEST_F(CaptureTest, ALostLinkDuringCaptureWritesNothingAndDimsTheCommands) {
    freshRecordings();
    sim::Faults f;
    f.garbage = true;
    sim.setFaults(f);
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE_GRAPH);
    EXPECT_EQ(StatusLine(), "Error! Sensor echo incorrect.");
    EXPECT_EQ(stop_flag, 1);
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED), 1);
    EXPECT_EQ(Attr(panelRECORDER, RECORDER_CAPTURE_GRAPH, ATTR_DIMMED), 1);
    EXPECT_EQ(RecordText(ReadWholeFile(file)).find("Recorded analog graph."), -1);
}

// The print as the screen shows it: the strip chart's curves as bold as on
// the screen (drawn at the printer's resolution they came out as faint
// hairlines), and no graph tool bar even while a frozen chart keeps it up.
TEST_F(CaptureTest, PrintShowsTheCurvesAsTheScreenDoesWithoutTheGraphToolBar) {
    DisplayPanel(panelMAIN);
    ShowTraces({9}); // A result, in blue
    stopAfter(90);
    OperateCtrl(panelMAIN, MAIN_CMD_RUN);
    ASSERT_TRUE(WaitUntil([] { return stop_flag == 1; }, 10.0));
    auto *chart = static_cast<QvGraph *>(GetCtrlWidget(panelMAIN, MAIN_STRIPCHART));
    chart->explorer().setFrozen(true);
    QWidget *bar = chart->explorer().bar();
    ASSERT_TRUE(bar->isVisible());
    const QRect barOnPanel(bar->mapTo(chart->window(), QPoint(0, 0)), bar->size());

    const std::string pdf = path("panel.pdf");
    SetPrintOutputFile(pdf);
    OperateCtrl(panelMAIN, MAIN_CMD_PRINT);
    SetPrintOutputFile("");
    EXPECT_TRUE(bar->isVisible()) << "the bar is back on the screen";
    chart->explorer().setFrozen(false);
    const QString png = QString::fromStdString(path("page"));
    ASSERT_EQ(QProcess::execute("pdftoppm", {"-r", "100", "-png", "-singlefile", QString::fromStdString(pdf), png}),
              0);
    const QImage page(png + ".png");
    ASSERT_FALSE(page.isNull());

    // The panel on the page: the box of every pixel that is not paper white.
    QRect panelBox;
    int blue = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c != Qt::white) panelBox |= QRect(x, y, 1, 1);
            if (c.blue() > 180 && c.blue() - c.red() > 90 && c.blue() - c.green() > 90) ++blue;
        }
    EXPECT_GT(blue, 60) << "the curve is printed in full colour, not as a hairline";
    const QWidget *panel = chart->window();
    const double sx = panelBox.width() / double(panel->width()), sy = panelBox.height() / double(panel->height());
    const QRect barOnPage(panelBox.left() + qRound(barOnPanel.left() * sx), panelBox.top() + qRound(barOnPanel.top() * sy),
                          qRound(barOnPanel.width() * sx), qRound(barOnPanel.height() * sy));
    int barPixels = 0;
    for (int y = barOnPage.top() + 2; y < barOnPage.bottom() - 2; ++y)
        for (int x = barOnPage.left() + 2; x < barOnPage.right() - 2; ++x) {
            const QColor c = page.pixelColor(x, y);
            barPixels += std::abs(c.red() - 236) <= 4 && std::abs(c.green() - 236) <= 4 && std::abs(c.blue() - 236) <= 4;
        }
    EXPECT_LT(barPixels, barOnPage.width() * barOnPage.height() / 10) << "the graph tool bar is not printed";
}

TEST_F(CaptureTest, PrintPutsTheWholeMainPanelOnOnePdfPage) {
    const std::string pdf = path("panel.pdf");
    SetPrintOutputFile(pdf);
    DisplayPanel(panelMAIN);
    OperateCtrl(panelMAIN, MAIN_CMD_PRINT);
    SetPrintOutputFile("");
    const std::string bytes = ReadWholeFile(pdf);
    ASSERT_EQ(bytes.rfind("%PDF-", 0), 0u);
    const std::regex page("/Type\\s*/Page[^s]");
    const auto pages = std::distance(std::sregex_iterator(bytes.begin(), bytes.end(), page), std::sregex_iterator());
    EXPECT_EQ(pages, 1);
    EXPECT_GT(bytes.size(), 10000u) << "the panel is drawn, not an empty page";
    int orientation = -1;
    GetPrintAttribute(ATTR_PRINT_ORIENTATION, &orientation);
    EXPECT_EQ(orientation, VAL_LANDSCAPE);
}

} // namespace
