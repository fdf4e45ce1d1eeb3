// TCP client conversations over QTcpSocket.
#include "ui/engine/engine.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>

#include <cerrno>
#include <map>
#include <memory>
#include <sys/socket.h>

namespace {

struct Conversation {
    std::unique_ptr<QTcpSocket> socket;
    tcpFuncPtr callback = nullptr;
    void *callbackData = nullptr;
    bool reading = false; // a read is waiting: data goes to it, not to the callback

    Conversation() = default;
    Conversation(Conversation &&) = default;
    // A conversation that ends with the program says nothing to it: the
    // socket's last signals must not reach callbacks while the table goes.
    ~Conversation() {
        if (socket) socket->disconnect();
    }
};

std::map<unsigned, Conversation> g_conversations;
unsigned g_nextHandle = 1;

Conversation *find(unsigned handle) {
    auto it = g_conversations.find(handle);
    return it == g_conversations.end() ? nullptr : &it->second;
}

int connectError(QAbstractSocket::SocketError e) {
    switch (e) {
    case QAbstractSocket::ConnectionRefusedError: return -4;  // "Failed to connect"
    case QAbstractSocket::HostNotFoundError: return -2;       // "Unable to establish connection"
    case QAbstractSocket::SocketTimeoutError: return -11;     // "Time out error "
    case QAbstractSocket::NetworkError: return -17;           // "Network subsystem not ready "
    case QAbstractSocket::SocketResourceError: return -10;    // "Out of memory"
    default: return -2;
    }
}

} // namespace

int ConnectToTCPServer(unsigned *conversationHandle, unsigned portNumber, const char *serverHostName,
                       tcpFuncPtr callback, void *callbackData, unsigned timeoutMs) {
    if (!conversationHandle || !serverHostName || !*serverHostName || portNumber == 0 || portNumber > 65535)
        return -9;
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QString::fromLatin1(serverHostName), static_cast<quint16>(portNumber));
    // Wait for the connection while the program keeps painting.
    QElapsedTimer t;
    t.start();
    while (socket->state() != QAbstractSocket::ConnectedState) {
        if (socket->state() == QAbstractSocket::UnconnectedState) return connectError(socket->error());
        const qint64 left = static_cast<qint64>(timeoutMs) - t.elapsed();
        if (left <= 0) {
            socket->abort();
            return -11;
        }
        WaitForSystemEvents(std::min<qint64>(left, 50) / 1000.0);
    }
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const unsigned handle = g_nextHandle++;
    Conversation &c = g_conversations[handle];
    c.socket = std::move(socket);
    c.callback = callback;
    c.callbackData = callbackData;
    QTcpSocket *s = c.socket.get();
    QObject::connect(s, &QTcpSocket::readyRead, s, [handle]() {
        Conversation *cv = find(handle);
        if (cv && !cv->reading && cv->callback) cv->callback(handle, TCP_DATAREADY, 0, cv->callbackData);
    });
    QObject::connect(s, &QTcpSocket::disconnected, s, [handle]() {
        Conversation *cv = find(handle);
        if (!cv) return;
        tcpFuncPtr cb = cv->callback;
        void *data = cv->callbackData;
        cv->callback = nullptr; // report the loss once
        if (cb) cb(handle, TCP_DISCONNECT, 0, data);
    });
    *conversationHandle = handle;
    return 0;
}

void CloseAllTCPConversations() {
    for (auto &kv : g_conversations)
        if (kv.second.socket) kv.second.socket->disconnect();
    g_conversations.clear();
}

int DisconnectFromTCPServer(unsigned conversationHandle) {
    Conversation *c = find(conversationHandle);
    if (!c) return -12;
    // A disconnect the program asks for is not reported back to it.
    QTcpSocket *s = c->socket.release();
    s->disconnect();
    s->abort();
    s->deleteLater();
    g_conversations.erase(conversationHandle);
    return 0;
}

int ClientTCPWrite(unsigned conversationHandle, const void *data, unsigned size, unsigned timeoutMs) {
    Conversation *c = find(conversationHandle);
    if (!c) return -12;
    if (c->socket->state() != QAbstractSocket::ConnectedState) return -14;
    if (size == 0) return 0;
    // With nothing queued the bytes go straight to the socket: that spares
    // the event loop two notifier switches per request. What the socket does
    // not take at once is queued as usual.
    const char *bytes = static_cast<const char *>(data);
    unsigned sent = 0;
    if (c->socket->bytesToWrite() == 0) {
        const ssize_t n = ::send(static_cast<int>(c->socket->socketDescriptor()), bytes, size, MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return -8;
        sent = n > 0 ? static_cast<unsigned>(n) : 0;
    }
    if (sent < size && c->socket->write(bytes + sent, size - sent) != static_cast<qint64>(size - sent)) return -8;
    c->socket->flush();
    if (c->socket->bytesToWrite() > 0 && !c->socket->waitForBytesWritten(static_cast<int>(timeoutMs)))
        return c->socket->error() == QAbstractSocket::SocketTimeoutError ? -11 : -8;
    return static_cast<int>(size);
}

int ClientTCPRead(unsigned conversationHandle, void *buffer, unsigned size, unsigned timeoutMs) {
    Conversation *c = find(conversationHandle);
    if (!c) return -12;
    if (size == 0) return 0;
    QTcpSocket *s = c->socket.get();
    if (s->bytesAvailable() == 0) {
        if (s->state() != QAbstractSocket::ConnectedState) return -14;
        if (timeoutMs == 0) return 0;
        c->reading = true;
        const bool got = s->waitForReadyRead(static_cast<int>(timeoutMs));
        c = find(conversationHandle);
        if (!c) return -14;
        c->reading = false;
        if (!got) return s->state() == QAbstractSocket::ConnectedState ? -11 : -14;
    }
    qint64 n = s->read(static_cast<char *>(buffer), size);
    return n < 0 ? -7 : static_cast<int>(n);
}
