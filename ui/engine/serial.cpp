// Serial ports over QSerialPort, numbered 1 to 255 as the operator sees them.
#include "ui/engine/engine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <algorithm>
#include <map>
#include <memory>

namespace {

struct ComPort {
    std::unique_ptr<QSerialPort> port;
    double timeout = 5.0;
    bool xmode = false;
    bool cts = false;
    int eventMask = 0;
    int notifyCount = 0;
    int eventChar = -1;
    ComCallbackPtr callback = nullptr;
    void *callbackData = nullptr;
    qint64 seen = 0; // bytes already looked at for the event character
};

std::map<int, ComPort> g_ports;
std::map<int, std::string> g_portNames;

ComPort *openPort(int port) {
    auto it = g_ports.find(port);
    return (it != g_ports.end() && it->second.port && it->second.port->isOpen()) ? &it->second : nullptr;
}

int checkPort(int port, ComPort *&p) {
    if (port < 1 || port > 255) return -2;
    p = openPort(port);
    return p ? 0 : -3;
}

void applyFlowControl(ComPort &p) {
    p.port->setFlowControl(p.cts ? QSerialPort::HardwareControl
                                 : p.xmode ? QSerialPort::SoftwareControl : QSerialPort::NoFlowControl);
}

void notify(int portNumber) {
    ComPort *p = openPort(portNumber);
    if (!p || !p->callback) return;
    const qint64 avail = p->port->bytesAvailable();
    int events = 0;
    if ((p->eventMask & LWRS_RECEIVE) && p->notifyCount > 0 && avail >= p->notifyCount) events |= LWRS_RECEIVE;
    if ((p->eventMask & LWRS_RXCHAR) && avail > 0) events |= LWRS_RXCHAR;
    if ((p->eventMask & LWRS_RXFLAG) && p->eventChar >= 0 && avail > p->seen) {
        const QByteArray fresh = p->port->peek(avail).mid(static_cast<int>(std::min(p->seen, avail)));
        if (fresh.contains(static_cast<char>(p->eventChar))) events |= LWRS_RXFLAG;
    }
    p->seen = avail;
    if (events) p->callback(portNumber, events, p->callbackData);
}

// Reads up to count bytes, waiting up to the port's time-out for them;
// stops early after the termination byte when one is given.
int readBytes(int port, char *buffer, int count, int term) {
    ComPort *p = nullptr;
    if (int rc = checkPort(port, p)) return rc;
    if (count <= 0) return 0;
    QElapsedTimer t;
    t.start();
    const qint64 limit = static_cast<qint64>(p->timeout * 1000.0);
    int n = 0;
    while (n < count) {
        char c;
        while (n < count && p->port->bytesAvailable() > 0) {
            if (term < 0) {
                qint64 got = p->port->read(buffer + n, count - n);
                if (got < 0) return -4;
                n += static_cast<int>(got);
                continue;
            }
            if (p->port->read(&c, 1) != 1) return -4;
            if (static_cast<unsigned char>(c) == static_cast<unsigned>(term)) {
                p->seen = p->port->bytesAvailable();
                return n;
            }
            buffer[n++] = c;
        }
        if (n >= count) break;
        const qint64 left = limit - t.elapsed();
        if (left <= 0 || !p->port->waitForReadyRead(static_cast<int>(left))) break;
        p = openPort(port); // a callback may have closed it meanwhile
        if (!p) return -3;
    }
    p->seen = p->port->bytesAvailable();
    return n;
}

std::map<std::string, std::string> g_fakeSerials; // device -> serial number

QList<QSerialPortInfo> detectedPorts() {
    QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    std::sort(ports.begin(), ports.end(),
              [](const QSerialPortInfo &a, const QSerialPortInfo &b) { return a.portName() < b.portName(); });
    return ports;
}

std::string serialOf(const std::string &device, const QList<QSerialPortInfo> &ports) {
    if (device.empty()) return "";
    auto fake = g_fakeSerials.find(device);
    if (fake != g_fakeSerials.end()) return QFileInfo::exists(QString::fromStdString(device)) ? fake->second : "";
    for (const QSerialPortInfo &info : ports)
        if (info.systemLocation().toStdString() == device) return info.serialNumber().toStdString();
    return "";
}

} // namespace

void SetComPortDevice(int port, const std::string &deviceName) {
    if (deviceName.empty()) g_portNames.erase(port);
    else g_portNames[port] = deviceName;
}

void ClearComPortDevices() { g_portNames.clear(); }

std::string GetComPortDevice(int port) {
    auto it = g_portNames.find(port);
    if (it != g_portNames.end()) return it->second;
    if (port < 1) return "";
    const QList<QSerialPortInfo> ports = detectedPorts();
    if (port > ports.size()) return "";
    return ports[port - 1].systemLocation().toStdString();
}

void SetComPortSerialNumber(const std::string &deviceName, const std::string &serial) {
    if (serial.empty()) g_fakeSerials.erase(deviceName);
    else g_fakeSerials[deviceName] = serial;
}

std::string GetComPortSerialNumber(int port) { return serialOf(GetComPortDevice(port), detectedPorts()); }

int FindComPortBySerialNumber(const std::string &serial) {
    if (serial.empty()) return 0;
    const QList<QSerialPortInfo> ports = detectedPorts();
    for (const auto &kv : g_portNames)
        if (serialOf(kv.second, ports) == serial) return kv.first;
    // A detected port is reachable by its place in the list unless a
    // mapping has taken that number.
    for (int i = 0; i < ports.size() && i < 255; ++i) {
        if (g_portNames.count(i + 1)) continue;
        if (serialOf(ports[i].systemLocation().toStdString(), ports) == serial) return i + 1;
    }
    return 0;
}

int OpenComConfig(int port, const char *deviceName, long baudRate, int parity, int dataBits, int stopBits,
                  int /*inputQueueSize*/, int /*outputQueueSize*/) {
    if (port < 1 || port > 255) return -2;
    std::string dev = (deviceName && *deviceName) ? deviceName : GetComPortDevice(port);
    if (dev.empty()) return (g_portNames.empty() && QSerialPortInfo::availablePorts().isEmpty()) ? -6 : -2;
    if (parity < 0 || parity > 4 || dataBits < 5 || dataBits > 8 || (stopBits != 1 && stopBits != 2) ||
        baudRate <= 0)
        return -13;
    // Opening a port that is still open starts it afresh.
    g_ports.erase(port);
    ComPort &p = g_ports[port];
    p.port = std::make_unique<QSerialPort>();
    p.port->setPortName(QString::fromStdString(dev));
    if (!p.port->open(QIODevice::ReadWrite)) {
        const auto err = p.port->error();
        g_ports.erase(port);
        return err == QSerialPort::DeviceNotFoundError ? -6 : -7;
    }
    static const QSerialPort::Parity parities[] = {QSerialPort::NoParity, QSerialPort::OddParity,
                                                   QSerialPort::EvenParity, QSerialPort::MarkParity,
                                                   QSerialPort::SpaceParity};
    bool ok = p.port->setBaudRate(static_cast<qint32>(baudRate)) &&
              p.port->setParity(parities[parity]) &&
              p.port->setDataBits(static_cast<QSerialPort::DataBits>(dataBits)) &&
              p.port->setStopBits(stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
              p.port->setFlowControl(QSerialPort::NoFlowControl);
    if (!ok) {
        g_ports.erase(port);
        return -13;
    }
    QObject::connect(p.port.get(), &QSerialPort::readyRead, [port]() { notify(port); });
    return 0;
}

int CloseCom(int port) {
    ComPort *p = nullptr;
    if (int rc = checkPort(port, p)) return rc;
    p->port->close();
    g_ports.erase(port);
    return 0;
}

int ComWrt(int port, const char *buffer, int count) {
    ComPort *p = nullptr;
    if (int rc = checkPort(port, p)) return rc;
    if (count < 0 || (!buffer && count)) return -13;
    qint64 n = p->port->write(buffer, count);
    if (n < 0) return -4;
    p->port->flush();
    return static_cast<int>(n);
}

int ComRd(int port, char *buffer, int count) { return readBytes(port, buffer, count, -1); }

int ComRdTerm(int port, char *buffer, int count, int terminationByte) {
    return readBytes(port, buffer, count, terminationByte & 0xFF);
}

int FlushInQ(int port) {
    ComPort *p = nullptr;
    if (int rc = checkPort(port, p)) return rc;
    p->port->clear(QSerialPort::Input);
    p->port->readAll();
    p->seen = 0;
    return 0;
}

int FlushOutQ(int port) {
    ComPort *p = nullptr;
    if (int rc = checkPort(port, p)) return rc;
    p->port->clear(QSerialPort::Output);
    return 0;
}

int GetInQLen(int port) {
    ComPort *p = nullptr;
    if (int rc = checkPort(port, p)) return rc;
    return static_cast<int>(p->port->bytesAvailable());
}

int GetOutQLen(int port) {
    ComPort *p = nullptr;
    if (int rc = checkPort(port, p)) return rc;
    return static_cast<int>(p->port->bytesToWrite());
}

int SetComTime(int port, double timeoutSeconds) {
    ComPort *p = nullptr;
    if (int rc = checkPort(port, p)) return rc;
    if (timeoutSeconds < 0) return -13;
    p->timeout = timeoutSeconds;
    return 0;
}

int SetCTSMode(int port, int mode) {
    ComPort *p = nullptr;
    if (int rc = checkPort(port, p)) return rc;
    p->cts = mode != 0;
    applyFlowControl(*p);
    return 0;
}

int SetXMode(int port, int mode) {
    ComPort *p = nullptr;
    if (int rc = checkPort(port, p)) return rc;
    p->xmode = mode != 0;
    applyFlowControl(*p);
    return 0;
}

int InstallComCallback(int port, int eventMask, int notifyCount, int eventCharacter, ComCallbackPtr callback,
                       void *callbackData) {
    ComPort *p = nullptr;
    if (int rc = checkPort(port, p)) return rc;
    if (notifyCount < 0 || notifyCount > 4096) return -13;
    p->eventMask = callback ? eventMask : 0;
    p->notifyCount = notifyCount;
    p->eventChar = eventCharacter;
    p->callback = callback;
    p->callbackData = callbackData;
    p->seen = p->port->bytesAvailable();
    return 0;
}
