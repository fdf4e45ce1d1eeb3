#include "sim/outbox.h"

#include <algorithm>

namespace sim {

namespace {
constexpr qint64 kNsPerMs = 1000000;
constexpr qint64 kBitsPerByte = 10; // start + 8 data + stop
} // namespace

Outbox::Outbox(Writer writer, Closer closer, QObject *parent)
    : QObject(parent), writer_(std::move(writer)), closer_(std::move(closer)) {
    clock_.start();
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &Outbox::pump);
}

void Outbox::push(Job job) {
    job.pieces.erase(
        std::remove_if(job.pieces.begin(), job.pieces.end(), [](const QByteArray &p) { return p.isEmpty(); }),
        job.pieces.end());
    if (job.pieces.empty() && !job.closeAfter) return;
    Pending p;
    p.dueNs = clock_.nsecsElapsed() + qint64(std::max(0, job.delayMs)) * kNsPerMs;
    p.job = std::move(job);
    queue_.push_back(std::move(p));
    if (queue_.size() == 1) pump();
}

void Outbox::clear() {
    queue_.clear();
    timer_.stop();
}

void Outbox::arm(qint64 ns) {
    // Round up: a timer may be late but must never send early.
    const qint64 ms = std::max<qint64>(1, (ns + kNsPerMs - 1) / kNsPerMs);
    timer_.start(int(ms));
}

void Outbox::pump() {
    while (!queue_.empty()) {
        Pending &p = queue_.front();
        const qint64 now = clock_.nsecsElapsed();
        if (now < p.dueNs) {
            arm(p.dueNs - now);
            return;
        }
        if (p.piece < p.job.pieces.size()) {
            const QByteArray &piece = p.job.pieces[p.piece];
            int end = int(piece.size());
            qint64 byteNs = 0;
            if (p.job.baud > 0) {
                if (p.pieceStartNs < 0) p.pieceStartNs = now;
                // A byte is on the far side once its last bit has gone out.
                byteNs = kBitsPerByte * 1000000000LL / p.job.baud;
                end = int(std::min<qint64>(end, (now - p.pieceStartNs) / byteNs));
            }
            if (end > p.offset) {
                writer_(piece.mid(p.offset, end - p.offset));
                p.offset = end;
            }
            if (p.offset < piece.size()) {
                arm(p.pieceStartNs + byteNs * (p.offset + 1) - now);
                return;
            }
            ++p.piece;
            p.offset = 0;
            p.pieceStartNs = -1;
            if (p.piece < p.job.pieces.size()) {
                p.dueNs = now + qint64(std::max(0, p.job.gapMs)) * kNsPerMs;
                continue;
            }
        }
        const bool close = p.job.closeAfter;
        queue_.pop_front();
        if (close) {
            clear();
            closer_();
            return;
        }
    }
}

} // namespace sim
