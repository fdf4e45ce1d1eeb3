// qvex-ctl report: the commissioning report of the panels without a link and
// of the controller's EEPROM through qvex-sim. The report's content against
// the parameter file is test_recorder's.
#include "tests/ctl/ctl_fixture.h"

#include <QProcess>

namespace {

using namespace ctl_test;

std::string pdfText(const QString &path) {
    QProcess p;
    p.start("pdftotext", {"-layout", path, "-"});
    if (!p.waitForFinished(30000)) return "<pdftotext did not end>";
    return p.readAllStandardOutput().toStdString();
}

bool has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

using CtlReportTest = CtlJobTest;

TEST_F(CtlReportTest, APanelsReportNeedsNoLink) {
    const QString pdf = path("panels.pdf");
    const CtlResult r = RunCtl({"--quiet", "report", "--from", "panels", "--out", pdf, "--note", "bench check"});
    ASSERT_EQ(r.code, 0) << Describe(r);
    EXPECT_EQ(r.out, pdf.toStdString() + ": 9 pages\n"); // summary, curves, six of parameters, note and sign-off
    const std::string text = pdfText(pdf);
    EXPECT_TRUE(has(text, "none (no controller connected)")) << text.substr(0, 800);
    EXPECT_TRUE(has(text, "not read (no link)"));
    EXPECT_TRUE(has(text, "bench check"));
    EXPECT_TRUE(has(text, "as set on the panels"));
    EXPECT_TRUE(has(text, "SPECIAL FUNCTION"));
}

TEST_F(CtlReportTest, AnEepromReportNamesTheControllerAndWhereTheRecordCameFrom) {
    ASSERT_TRUE(sim.start({}));
    const QString pdf = path("eeprom.pdf");
    const CtlResult r = ctl({"report", "--from", "eeprom", "--out", pdf});
    ASSERT_EQ(r.code, 0) << Describe(r);
    const std::string text = pdfText(pdf);
    EXPECT_TRUE(has(text, "read from the controller's EEPROM on")) << text.substr(0, 800);
    EXPECT_TRUE(has(text, "TCP/IP, " + sim.tcp().toStdString()));
    const CtlResult version = ctl({"version"});
    ASSERT_EQ(version.code, 0) << Describe(version);
    EXPECT_TRUE(has(text, version.out.substr(0, version.out.find('\n'))));
}

TEST_F(CtlReportTest, AReportNeedsAPlaceAPdfNameAndForTheControllerALink) {
    const QString pdf = path("r.pdf");
    EXPECT_EQ(RunCtl({"report", "--from", "flash", "--out", pdf}).code, 2);
    EXPECT_EQ(RunCtl({"report", "--from", "panels", "--out", path("r.txt")}).code, 2);
    EXPECT_EQ(RunCtl({"report", "--from", "panels"}).code, 2);
    const CtlResult noLink = RunCtl({"report", "--from", "ram", "--out", pdf});
    EXPECT_EQ(noLink.code, 2);
    EXPECT_TRUE(has(noLink.err, "say which controller")) << noLink.err;
    EXPECT_EQ(RunCtl({"report", "--from", "panels", "--out", path("missing/r.pdf")}).code, 2);
    EXPECT_FALSE(QFile::exists(pdf));
    const CtlResult help = RunCtl({"--help"});
    EXPECT_TRUE(has(help.out, "report --from ram|eeprom|panels --out FILE.pdf [--note TEXT]"));
}

} // namespace
