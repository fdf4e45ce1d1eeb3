// Puts replies on a link in order, with the delays, gaps between pieces and
// baud-rate pacing the faults ask for. Everything is timer driven; nothing
// here ever blocks the simulator thread.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>
#include <vector>

namespace sim {

class Outbox : public QObject {
    Q_OBJECT
  public:
    struct Job {
        std::vector<QByteArray> pieces;
        int delayMs = 0; // from the moment the job is pushed
        int gapMs = 0;   // between two pieces
        int baud = 0;    // 0: as fast as the link takes it
        bool closeAfter = false;
    };
    using Writer = std::function<void(const QByteArray &)>;
    using Closer = std::function<void()>;

    Outbox(Writer writer, Closer closer, QObject *parent = nullptr);

    void push(Job job);
    void clear();
    bool idle() const { return queue_.empty(); }

  private:
    struct Pending {
        Job job;
        qint64 dueNs = 0; // not before this (clock_ time)
        std::size_t piece = 0;
        int offset = 0;           // bytes of the current piece written
        qint64 pieceStartNs = -1; // when pacing of the current piece began
    };

    void pump();
    void arm(qint64 ns);

    Writer writer_;
    Closer closer_;
    std::deque<Pending> queue_;
    QElapsedTimer clock_;
    QTimer timer_;
};

} // namespace sim
