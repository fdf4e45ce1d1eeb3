// apply over 32 simulated controllers: one qvex-ctl --inventory call with
// --jobs 8 against 32 single qvex-ctl calls one after the other. Every
// simulator answers as a controller on a 19200 baud line does: it holds each
// reply back for the time the request takes on the wire (36 bytes of 10
// bits, 18.75 ms) and sends the reply at that rate, 37.5 ms an exchange. The
// link waits then dominate each controller's time, and running eight at once
// pays even on two cores.
//
//   bench_fleet [--controllers N] [--jobs J]
//
// Last line: "ratio <sequential seconds / inventory seconds>".
#include "bench/common.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>
#include <vector>

namespace {

struct Sim {
    std::unique_ptr<QProcess> process;
    QString link; // 127.0.0.1:PORT
};

// The request's time on a 19200 baud line, which loopback TCP does not take.
constexpr int kRequestWireMs = 19;

Sim startSim() {
    auto p = std::make_unique<QProcess>();
    // A benchmark that fails ends at once: its simulators go with it.
    p->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    p->start(QStringLiteral(QVEX_SIM_BIN), {"--tcp", "0", "--pace", "--delay", QString::number(kRequestWireMs)});
    if (!p->waitForReadyRead(10000)) bench::Fail("qvex-sim did not come up");
    while (!p->canReadLine() && p->waitForReadyRead(10000)) {
    }
    const QString line = QString::fromLocal8Bit(p->readLine()).trimmed();
    if (!line.startsWith("TCP 127.0.0.1:")) bench::Fail("qvex-sim said %s", qPrintable(line));
    return {std::move(p), line.mid(4)};
}

void stopSims(std::vector<Sim> &sims) {
    for (Sim &sim : sims) sim.process->terminate();
    for (Sim &sim : sims)
        if (!sim.process->waitForFinished(3000)) sim.process->kill();
}

// Runs qvex-ctl; its stdout, or a failure of the benchmark.
std::string ctl(const QStringList &args) {
    QProcess p;
    p.start(QStringLiteral(QVEX_CTL_BIN), args);
    if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        bench::Fail("qvex-ctl %s failed: %s", qPrintable(args.join(' ')), p.readAllStandardError().constData());
    return p.readAllStandardOutput().toStdString();
}

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void spit(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) bench::Fail("cannot write %s", path.c_str());
}

int countOf(const std::string &text, const std::string &part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

} // namespace

int main(int argc, char **argv) {
    bench::SetName("bench_fleet");
    const int controllers = bench::OptInt(argc, argv, "--controllers", 32);
    const int jobs = bench::OptInt(argc, argv, "--jobs", 8);
    const std::string original = bench::TempFile("bench_fleet", "-a.ini");
    const std::string edited = bench::TempFile("bench_fleet", "-b.ini");
    const std::string inventory = bench::TempFile("bench_fleet", "-inventory.ini");

    std::vector<Sim> sims;
    std::string inventoryText;
    for (int i = 0; i < controllers; ++i) {
        sims.push_back(startSim());
        inventoryText += "[c" + std::to_string(i + 1) + "]\ntcp = " +
                         sims.back().link.toStdString() + "\n";
    }
    spit(inventory, inventoryText);
    const QString first = sims[0].link;
    ctl({"--quiet", "--tcp", first, "get", "--from", "ram", "--out", QString::fromStdString(original)});
    // The same record with its first number changed.
    const std::string text = slurp(original);
    std::smatch m;
    if (!std::regex_search(text, m, std::regex("\n([A-Za-z][^=\r\n]*?) = ([0-9]+)\r")))
        bench::Fail("no number in %s", original.c_str());
    spit(edited, m.prefix().str() + "\n" + m[1].str() + " = " + (m[2].str() == "1" ? "2" : "1") + "\r" +
                     m.suffix().str());

    // One after the other: every controller to the edited record.
    double t0 = bench::Now();
    int changed = 0;
    for (const auto &sim : sims)
        changed += countOf(ctl({"--quiet", "--tcp", sim.link, "apply", "--to", "ram",
                                QString::fromStdString(edited)}),
                           "changed (1 fields)");
    const double sequential = bench::Now() - t0;
    if (changed != controllers) bench::Fail("%d of %d single calls changed their controller", changed, controllers);

    // All at once from the inventory: back to the original record.
    t0 = bench::Now();
    const std::string out = ctl({"--quiet", "--inventory", QString::fromStdString(inventory), "--jobs",
                                 QString::number(jobs), "apply", "--to", "ram", QString::fromStdString(original)});
    const double fleet = bench::Now() - t0;
    changed = countOf(out, ": changed (1 fields)");
    if (changed != controllers) bench::Fail("the inventory run changed %d of %d controllers", changed, controllers);

    stopSims(sims);
    std::printf("controllers %d, jobs %d, exchanges as on a 19200 baud line\n", controllers, jobs);
    std::printf("sequential_s %.2f (%.2f s a controller)\n", sequential, sequential / controllers);
    std::printf("inventory_s %.2f\n", fleet);
    std::printf("ratio %.2f\n", sequential / fleet);
    return 0;
}
