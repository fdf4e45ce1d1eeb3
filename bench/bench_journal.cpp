// What the parameter journal costs. First, SEND to RAM over loopback TCP
// (13 exchanges) with the local journal recording every send, against the
// same sends with no journal, in alternating blocks so that a noisy machine
// hits both alike. Second, a journal of 100,000 entries of 20 controllers:
// the time to list all of them, and the time to list those of one
// controller from a given day on (the slower of the two is the figure).
//
//   bench_journal [--blocks N] [--sends N] [--entries N]
//
// Prints "note_us <microseconds a note costs the sending thread>",
// "list_filter_s <seconds>" and, last, "ratio <sends per second with the
// journal / without>" (the median over adjacent pairs of blocks).
#include "bench/common.h"

#include "core/controller_notes.h"
#include "journal/journal.h"
#include "journal/store.h"
#include "link/transport.h"
#include "params/record.h"
#include "params/transfer.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Seconds per send over one block of sends.
double sendBlock(int sends) {
    const double t0 = bench::Now();
    for (int i = 0; i < sends; ++i) {
        target = RAM;
        param[1] = static_cast<unsigned short>(i); // every send changes a field
        if (!SendRecord(param).done()) bench::Fail("a send failed");
    }
    return (bench::Now() - t0) / sends;
}

// Fills a journal with n entries of 20 controllers, one a minute from a day
// n minutes ago, with a parameter record each.
void fill(const std::string &file, int n) {
    JournalStore store;
    std::string error;
    if (!store.open(file, "", &error)) bench::Fail("cannot open %s: %s", file.c_str(), error.c_str());
    const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(-60LL * n);
    std::vector<JournalEntry> batch;
    for (int i = 0; i < n; ++i) {
        JournalEntry e;
        e.time = start.addSecs(60LL * i).toString(Qt::ISODateWithMs).toStdString();
        e.user = "operator";
        e.host = "line-pc";
        e.program = "bench";
        e.link = "127.0.0." + std::to_string(i % 20) + ":10001"; // a text in the journal, never connected to
        e.version = "Q-VEX-MOD7-ARC V1.00";
        e.kind = i % 3 ? "seen" : "write";
        e.memory = "ram";
        e.outcome = "done";
        e.record.assign(PARAM_WORDS, static_cast<unsigned short>(i));
        e.beforeKnown = true; // no look-up: the filling is not what is measured
        e.before = e.record;
        batch.push_back(std::move(e));
        if (batch.size() == 5000 || i + 1 == n) {
            if (!store.appendAll(&batch, &error)) bench::Fail("cannot fill the journal: %s", error.c_str());
            batch.clear();
        }
    }
}

} // namespace

int main(int argc, char **argv) {
    bench::SetName("bench_journal");
    const int blocks = bench::OptInt(argc, argv, "--blocks", 40);
    const int sends = bench::OptInt(argc, argv, "--sends", 20);
    const int entries = bench::OptInt(argc, argv, "--entries", 100000);
    bench::StartProgram(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) bench::Fail("no temporary folder");

    // ---- SEND to RAM, with and without the journal ----
    const bench::Sim sim = bench::StartSim({"--tcp", "0"});
    bench::ConnectTcp(sim.tcpPort);
    controllerNoteHooks.noted = NoteToJournal;
    JournalSettings settings;
    settings.url = dir.filePath("send.sqlite").toStdString();
    std::vector<double> with, without;
    sendBlock(sends); // warm-up
    for (int b = 0; b < blocks; ++b) {
        CloseJournal();
        without.push_back(sendBlock(sends));
        std::string problem;
        if (!OpenJournal(settings, &problem)) bench::Fail("the journal did not open: %s", problem.c_str());
        with.push_back(sendBlock(sends));
        if (!FlushJournal(30)) bench::Fail("the journal did not keep up");
    }
    CloseJournal();
    tcpcon = InitTCP_IP(0);
    bench::StopSim();
    {
        JournalStore store;
        std::string error;
        store.open(settings.url, "", &error);
        const std::size_t written = store.list({}, &error).size();
        if (written != std::size_t(blocks) * std::size_t(sends))
            bench::Fail("%zu entries written, %d sent", written, blocks * sends);
    }
    const double w = bench::Median(with), wo = bench::Median(without);
    // Adjacent blocks share the machine's load of the moment: the median of
    // their ratios leaves out what other programs did meanwhile.
    std::vector<double> pairs;
    for (std::size_t i = 0; i < with.size(); ++i) pairs.push_back(without[i] / with[i]);

    // What a note costs the thread that sends: the entry is made and queued.
    std::string problem;
    if (!OpenJournal(settings, &problem)) bench::Fail("the journal did not open: %s", problem.c_str());
    ControllerNote note;
    note.write = true;
    note.words.assign(param, param + PARAM_WORDS);
    constexpr int kNotes = 2000;
    const double n0 = bench::Now();
    for (int i = 0; i < kNotes; ++i) NoteController(note);
    const double noteUs = (bench::Now() - n0) / kNotes * 1e6;
    CloseJournal(30);

    // ---- listing and filtering a large journal ----
    const std::string big = dir.filePath("big.sqlite").toStdString();
    const double f0 = bench::Now();
    fill(big, entries);
    std::printf("filled %d entries in %.1f s\n", entries, bench::Now() - f0);
    JournalStore store;
    std::string error;
    if (!store.open(big, "", &error)) bench::Fail("cannot open %s: %s", big.c_str(), error.c_str());
    double t0 = bench::Now();
    const std::size_t all = store.list({}, &error).size();
    const double listAll = bench::Now() - t0;
    JournalFilter filter;
    filter.controller = "127.0.0.7:";
    filter.since = QDateTime::currentDateTimeUtc().addSecs(-30LL * entries).toString(Qt::ISODateWithMs).toStdString();
    t0 = bench::Now();
    const std::size_t some = store.list(filter, &error).size();
    const double listSome = bench::Now() - t0;
    if (all != std::size_t(entries) || some == 0 || some >= all)
        bench::Fail("listed %zu of %d, %zu filtered: %s", all, entries, some, error.c_str());

    std::printf("send to RAM without journal: median %.3f ms\n", wo * 1000);
    std::printf("send to RAM with journal:    median %.3f ms\n", w * 1000);
    std::printf("list %zu entries: %.3f s; %zu of one controller from a day on: %.3f s\n", all, listAll, some,
                listSome);
    std::printf("note_us %.1f\n", noteUs);
    std::printf("list_filter_s %.3f\n", std::max(listAll, listSome));
    std::printf("ratio %.3f\n", bench::Median(pairs));
    return 0;
}
