// Clients that talk to the simulator the way the program does: a TCP socket
// and a raw-mode pty slave, plus request builders.
#pragma once

#include "sim/model.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QTcpSocket>

#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace simtest {

inline QByteArray request(uint16_t command, const sim::Words &w) {
    const auto f = sim::makeFrame(command, w);
    return QByteArray(reinterpret_cast<const char *>(f.data()), qsizetype(f.size()));
}

inline QByteArray request(uint16_t command, uint16_t word0 = 0) {
    sim::Words w{};
    w[0] = word0;
    return request(command, w);
}

// The payload of the request for set n (1..12) of a record, as the program
// sends it: 0x6400 + n, then the set's words 1..15.
inline sim::Words setWords(const sim::ParamRecord &record, int set) {
    sim::Words w{};
    for (int i = 1; i < sim::kSetWords; ++i)
        w[std::size_t(i)] = record[std::size_t((set - 1) * sim::kSetWords + i)];
    w[0] = uint16_t(sim::kParamBase + set);
    return w;
}

// A record unlike the defaults and unlike other seeds in every parameter
// word; its set-number slots hold 1..12 as a record read back does.
inline sim::ParamRecord sampleRecord(uint16_t seed) {
    sim::ParamRecord r{};
    for (int i = 0; i < sim::kParamWords; ++i)
        r[std::size_t(i)] = i % sim::kSetWords == 0 ? uint16_t(i / sim::kSetWords + 1)
                                                    : uint16_t(seed * 0x1000 + i * 0x0101 + 0x8000);
    return r;
}

inline uint16_t word(const QByteArray &frame, int index, int offset = 0) {
    return sim::frameWord(reinterpret_cast<const uint8_t *>(frame.constData()) + offset, index);
}

// What arrived, and when (ms after the read began).
struct Chunk {
    qint64 atMs;
    QByteArray bytes;
};

inline QByteArray joined(const std::vector<Chunk> &chunks) {
    QByteArray all;
    for (const auto &c : chunks)
        all += c.bytes;
    return all;
}

// Collects up to `count` bytes within timeoutMs from readSome(max, waitMs),
// which returns what it got (empty on timeout or end).
inline std::vector<Chunk> collect(int count, int timeoutMs,
                                  const std::function<QByteArray(int, int)> &readSome) {
    std::vector<Chunk> chunks;
    QElapsedTimer t;
    t.start();
    for (int got = 0; got < count;) {
        const qint64 left = timeoutMs - t.elapsed();
        const QByteArray b = left > 0 ? readSome(count - got, int(left)) : QByteArray();
        if (b.isEmpty()) break;
        chunks.push_back({t.elapsed(), b});
        got += int(b.size());
    }
    return chunks;
}

class TcpClient {
  public:
    bool connectTo(quint16 port) {
        socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        return socket.waitForConnected(2000);
    }
    void send(const QByteArray &bytes) {
        socket.write(bytes);
        socket.waitForBytesWritten(1000);
    }
    std::vector<Chunk> read(int count, int timeoutMs = 2000) {
        return collect(count, timeoutMs, [this](int max, int waitMs) {
            if (socket.bytesAvailable() == 0) socket.waitForReadyRead(waitMs);
            return socket.read(max);
        });
    }
    QByteArray readBytes(int count, int timeoutMs = 2000) { return joined(read(count, timeoutMs)); }
    bool quietFor(int ms) { return socket.bytesAvailable() == 0 && !socket.waitForReadyRead(ms); }
    bool waitClosed(int ms) {
        return socket.state() == QAbstractSocket::UnconnectedState || socket.waitForDisconnected(ms);
    }
    QTcpSocket socket;
};

class PtyClient {
  public:
    ~PtyClient() { close(); }
    bool open(const QString &path) {
        fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio{};
        if (fd_ < 0 || ::tcgetattr(fd_, &tio) != 0) return false;
        ::cfmakeraw(&tio);
        return ::tcsetattr(fd_, TCSANOW, &tio) == 0;
    }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    bool send(const QByteArray &bytes) {
        return ::write(fd_, bytes.constData(), std::size_t(bytes.size())) == bytes.size();
    }
    std::vector<Chunk> read(int count, int timeoutMs = 2000) {
        return collect(count, timeoutMs, [this](int max, int waitMs) {
            QByteArray buf(max, '\0');
            pollfd p{fd_, POLLIN, 0};
            const ssize_t n = ::poll(&p, 1, waitMs) > 0 ? ::read(fd_, buf.data(), std::size_t(max)) : 0;
            return buf.left(n > 0 ? qsizetype(n) : 0);
        });
    }
    QByteArray readBytes(int count, int timeoutMs = 2000) { return joined(read(count, timeoutMs)); }
    bool quietFor(int ms) {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, ms) == 0;
    }

  private:
    int fd_ = -1;
};

} // namespace simtest
