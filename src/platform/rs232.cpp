// Serial ports over QSerialPort. Every call blocks for at most the port's
// time-out: the program runs on one thread and expects the library calls of
// the old run-time, which wait for the instrument.
#include "platform/platform.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <map>
#include <memory>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct OpenPort {
    std::unique_ptr<QSerialPort> serial;
    std::string device; // the path it was opened by
    double timeoutSeconds = 5.0;
    long baudRate = 9600;
    int inputQueueSize = 0;
    int outputQueueSize = 0;
};

std::map<int, OpenPort> openPorts;
int rs232Err = 0;

int Fail(int code) {
    rs232Err = code;
    return code;
}

OpenPort *Find(int port) {
    auto it = openPorts.find(port);
    return it == openPorts.end() ? nullptr : &it->second;
}

// USB adapters first (they are what users plug in), then the rest; numbers
// in names sort numerically so ttyUSB10 follows ttyUSB9.
bool SystemPortLess(const QString &a, const QString &b) {
    auto rank = [](const QString &name) {
        if (name.startsWith("ttyUSB")) return 0;
        if (name.startsWith("ttyACM")) return 1;
        return 2;
    };
    auto split = [](const QString &name) {
        qsizetype digits = name.size();
        while (digits > 0 && name[digits - 1].isDigit())
            --digits;
        return std::make_pair(name.left(digits), name.mid(digits).toLongLong());
    };
    if (rank(a) != rank(b)) return rank(a) < rank(b);
    return split(a) < split(b);
}

std::vector<std::string> SystemSerialDevices() {
    // Enumerating the system's ports takes tens of milliseconds; a search or
    // the dialog's port list asks for it 22 times in a row.
    static std::vector<std::string> cached;
    static QElapsedTimer age;
    if (age.isValid() && age.elapsed() < 1000) return cached;
    std::vector<QSerialPortInfo> ports = [] {
        auto list = QSerialPortInfo::availablePorts();
        return std::vector<QSerialPortInfo>(list.begin(), list.end());
    }();
    std::sort(ports.begin(), ports.end(), [](const QSerialPortInfo &a, const QSerialPortInfo &b) {
        return SystemPortLess(a.portName(), b.portName());
    });
    std::vector<std::string> devices;
    for (const auto &info : ports)
        devices.push_back(info.systemLocation().toStdString());
    cached = devices;
    age.start();
    return devices;
}

// The path port n is opened by: the COMn entry of the configuration folder
// (the program directory when portable) when there is one (even a broken
// link: it still claims the number), else the n-th serial device of the
// system. "" when the number names nothing.
std::string ResolvePort(int port) {
    if (port < 1) return "";
    QFileInfo link(QDir(QString::fromStdString(ConfigDir())).filePath(QString("COM%1").arg(port)));
    if (link.isSymLink() || link.exists()) {
        if (!link.exists()) return ""; // dangling link
        return link.absoluteFilePath().toStdString();
    }
    auto devices = SystemSerialDevices();
    if (static_cast<std::size_t>(port) <= devices.size()) return devices[port - 1];
    return "";
}

// The device a path finally names, so that a COMn link retargeted to another
// device (a new pseudo-terminal) is not mistaken for the port already open.
std::string DeviceIdentity(const std::string &path) {
    QString target = QFileInfo(QString::fromStdString(path)).canonicalFilePath();
    return target.isEmpty() ? path : target.toStdString();
}

bool ApplySettings(QSerialPort &serial, long baudRate, int parity, int dataBits, int stopBits) {
    static const QSerialPort::Parity parities[] = {QSerialPort::NoParity, QSerialPort::OddParity,
                                                   QSerialPort::EvenParity, QSerialPort::MarkParity,
                                                   QSerialPort::SpaceParity};
    if (parity < 0 || parity > 4 || dataBits < 5 || dataBits > 8 || stopBits < 1 || stopBits > 2 ||
        baudRate <= 0)
        return false;
    return serial.setBaudRate(static_cast<qint32>(baudRate)) &&
           serial.setParity(parities[parity]) &&
           serial.setDataBits(static_cast<QSerialPort::DataBits>(dataBits)) &&
           serial.setStopBits(stopBits == 1 ? QSerialPort::OneStop : QSerialPort::TwoStop);
}

// Waits for more input until the deadline. False when the deadline passed (a
// time-out, cleared so the port stays usable) or the port failed (*failure).
bool WaitForInput(QSerialPort &serial, const QDeadlineTimer &deadline, int *failure) {
    *failure = 0;
    qint64 left = deadline.remainingTime();
    if (left <= 0) return false;
    if (serial.waitForReadyRead(static_cast<int>(std::min<qint64>(left, 1 << 30)))) return true;
    if (serial.error() == QSerialPort::TimeoutError || serial.error() == QSerialPort::NoError) {
        serial.clearError();
        return false;
    }
    *failure = kRs232IoError;
    serial.clearError();
    return false;
}

QDeadlineTimer DeadlineOf(const OpenPort &p) {
    return QDeadlineTimer(static_cast<qint64>(p.timeoutSeconds * 1000.0 + 0.5));
}

// The most a read of `count` bytes may take: its time-out, and twice the time
// the bytes need on the wire (10 bits each), room for a device's own pauses.
QDeadlineTimer OverallDeadlineOf(const OpenPort &p, int count) {
    const double wire = 2.0 * 10.0 * count / static_cast<double>(std::max(p.baudRate, 1L));
    return QDeadlineTimer(static_cast<qint64>((p.timeoutSeconds + wire) * 1000.0 + 0.5));
}

// Result of a read that ended with `got` bytes: the count, or the time-out
// code when nothing came.
int ReadResult(int got, bool timedOut, int failure) {
    if (failure != 0 && got == 0) return Fail(failure);
    rs232Err = failure != 0 ? failure : (timedOut ? kRs232TimeOut : 0);
    if (got == 0 && timedOut) return kRs232TimeOut;
    return got;
}

} // namespace

std::string ComPortDevice(int port) {
    std::string path = ResolvePort(port);
    return path.empty() ? "" : DeviceIdentity(path);
}

std::string ComPortDeniedGroup(int port) {
    std::string device = ComPortDevice(port);
    if (device.empty()) return "";
    // The effective ids decide, as they do for the open itself.
    if (::faccessat(AT_FDCWD, device.c_str(), R_OK | W_OK, AT_EACCESS) == 0 || errno != EACCES)
        return "";
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0) return "";
    if (const struct group *g = ::getgrgid(st.st_gid)) return g->gr_name;
    return std::to_string(st.st_gid);
}

bool ComPortGone(int port) {
    OpenPort *p = Find(port);
    if (!p || !p->serial->isOpen()) return false;
    pollfd fd{static_cast<int>(p->serial->handle()), POLLOUT, 0};
    return ::poll(&fd, 1, 0) == 1 && (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

int OpenComConfig(int port, const std::string &deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize) {
    std::string path = deviceName.empty() ? ResolvePort(port) : deviceName;
    if (port < 1 || path.empty()) return Fail(kRs232NoSuchPort);
    std::string device = DeviceIdentity(path);

    if (OpenPort *open = Find(port)) {
        // Reopening a port this program holds keeps the handle (an earlier
        // test leaves the port open); a number that now names another device
        // is closed first.
        if (open->device == device && open->serial->isOpen()) {
            if (!ApplySettings(*open->serial, baudRate, parity, dataBits, stopBits))
                return Fail(kRs232InvalidParameter);
            open->baudRate = baudRate;
            open->inputQueueSize = inputQueueSize;
            open->outputQueueSize = outputQueueSize;
            open->serial->clearError();
            rs232Err = 0;
            return 0;
        }
        CloseCom(port);
    }

    if (!QFileInfo::exists(QString::fromStdString(path))) return Fail(kRs232NoSuchPort);
    // Opened by the device's own name so that its lock file is the one other
    // programs use for that device, not one named after the link.
    auto serial = std::make_unique<QSerialPort>();
    serial->setPortName(QString::fromStdString(device));
    if (!serial->open(QIODevice::ReadWrite)) {
        QSerialPort::SerialPortError error = serial->error();
        return Fail(error == QSerialPort::DeviceNotFoundError ? kRs232NoSuchPort
                                                              : kRs232CannotOpen);
    }
    if (!ApplySettings(*serial, baudRate, parity, dataBits, stopBits)) {
        serial->close();
        return Fail(kRs232InvalidParameter);
    }
    serial->setFlowControl(QSerialPort::NoFlowControl);
    serial->clear(QSerialPort::AllDirections);
    OpenPort entry;
    entry.serial = std::move(serial);
    entry.device = device;
    entry.baudRate = baudRate;
    entry.inputQueueSize = inputQueueSize;
    entry.outputQueueSize = outputQueueSize;
    openPorts[port] = std::move(entry);
    rs232Err = 0;
    return 0;
}

int SetXMode(int port, int mode) {
    OpenPort *p = Find(port);
    if (!p) return Fail(kRs232PortNotOpen);
    if (!p->serial->setFlowControl(mode ? QSerialPort::SoftwareControl
                                        : QSerialPort::NoFlowControl))
        return Fail(kRs232IoError);
    rs232Err = 0;
    return 0;
}

int SetComTime(int port, double timeoutSeconds) {
    OpenPort *p = Find(port);
    if (!p) return Fail(kRs232PortNotOpen);
    if (!(timeoutSeconds >= 0.0)) return Fail(kRs232InvalidParameter);
    p->timeoutSeconds = timeoutSeconds;
    rs232Err = 0;
    return 0;
}

int ComWrt(int port, const char *buffer, int count) {
    OpenPort *p = Find(port);
    if (!p) return Fail(kRs232PortNotOpen);
    if (count < 0 || (count > 0 && !buffer)) return Fail(kRs232InvalidParameter);
    QSerialPort &serial = *p->serial;
    if (serial.write(buffer, count) != count) {
        serial.clearError();
        return Fail(kRs232WriteFailed);
    }
    // The bytes must be on their way before the caller starts waiting for the
    // reply; with XOFF from the other side this waits up to the time-out.
    QDeadlineTimer deadline = DeadlineOf(*p);
    while (serial.bytesToWrite() > 0) {
        qint64 left = deadline.remainingTime();
        if (left <= 0 || !serial.waitForBytesWritten(static_cast<int>(left))) {
            bool timedOut = serial.error() == QSerialPort::TimeoutError ||
                            serial.error() == QSerialPort::NoError;
            serial.clearError();
            if (serial.bytesToWrite() == 0) break;
            // Bytes held back (by XOFF) must not reach the instrument later,
            // when nobody waits for its answer any more.
            serial.clear(QSerialPort::Output);
            return Fail(timedOut ? kRs232TimeOut : kRs232WriteFailed);
        }
    }
    rs232Err = 0;
    return count;
}

int ComRd(int port, char *buffer, int count) {
    OpenPort *p = Find(port);
    if (!p) return Fail(kRs232PortNotOpen);
    if (count < 0 || (count > 0 && !buffer)) return Fail(kRs232InvalidParameter);
    QSerialPort &serial = *p->serial;
    QDeadlineTimer deadline = DeadlineOf(*p);
    int got = 0;
    int failure = 0;
    bool timedOut = false;
    while (got < count) {
        if (serial.bytesAvailable() > 0) {
            qint64 n = serial.read(buffer + got, count - got);
            if (n < 0) {
                failure = kRs232IoError;
                break;
            }
            got += static_cast<int>(n);
            continue;
        }
        if (!WaitForInput(serial, deadline, &failure)) {
            timedOut = failure == 0;
            break;
        }
    }
    return ReadResult(got, timedOut, failure);
}

namespace {

constexpr int CHECK_INTERVAL_MS = 50;

int ReadToTerm(int port, char *buffer, int count, int terminationByte,
               const std::function<bool()> *carryOn) {
    OpenPort *p = Find(port);
    if (!p) return Fail(kRs232PortNotOpen);
    if (count < 0 || (count > 0 && !buffer)) return Fail(kRs232InvalidParameter);
    const char term = static_cast<char>(terminationByte);
    QDeadlineTimer deadline = DeadlineOf(*p);
    const QDeadlineTimer overall = OverallDeadlineOf(*p, count);
    QElapsedTimer sinceCheck;
    sinceCheck.start();
    int got = 0;
    int failure = 0;
    bool timedOut = false;
    while (got < count) {
        if (carryOn && sinceCheck.elapsed() >= CHECK_INTERVAL_MS) {
            bool goOn = (*carryOn)();
            // The check runs the event loop, which may have closed the port.
            p = Find(port);
            if (!p) return Fail(kRs232PortNotOpen);
            if (!goOn) {
                timedOut = true;
                break;
            }
            sinceCheck.restart();
        }
        QSerialPort &serial = *p->serial;
        qint64 available = serial.bytesAvailable();
        if (available > 0) {
            // Look ahead so that nothing after the terminating byte is taken.
            QByteArray ahead = serial.peek(std::min<qint64>(available, count - got + 1));
            qsizetype end = ahead.indexOf(term);
            if (end >= 0 && end <= count - got) {
                std::memcpy(buffer + got, ahead.constData(), static_cast<std::size_t>(end));
                got += static_cast<int>(end);
                serial.read(end + 1); // the line and its terminator
                rs232Err = 0;
                return got;
            }
            qint64 take = std::min<qint64>(ahead.size(), count - got);
            qint64 n = serial.read(buffer + got, take);
            if (n < 0) {
                failure = kRs232IoError;
                break;
            }
            got += static_cast<int>(n);
            // A long recording takes many seconds on the wire: the time-out
            // counts silence, not the length of the line, up to the overall limit.
            if (n > 0) deadline = std::min(DeadlineOf(*p), overall);
            continue;
        }
        // With a check, wait in slices so that it is asked during silence too.
        QDeadlineTimer wait = deadline;
        if (carryOn) wait = std::min(deadline, QDeadlineTimer(CHECK_INTERVAL_MS));
        if (!WaitForInput(serial, wait, &failure)) {
            if (failure == 0 && !deadline.hasExpired()) continue;
            timedOut = failure == 0;
            break;
        }
    }
    return ReadResult(got, timedOut, failure);
}

} // namespace

int ComRdTerm(int port, char *buffer, int count, int terminationByte) {
    return ReadToTerm(port, buffer, count, terminationByte, nullptr);
}

int ComRdTerm(int port, char *buffer, int count, int terminationByte,
              const std::function<bool()> &carryOn) {
    return ReadToTerm(port, buffer, count, terminationByte, carryOn ? &carryOn : nullptr);
}

int FlushInQ(int port) {
    OpenPort *p = Find(port);
    if (!p) return Fail(kRs232PortNotOpen);
    p->serial->clear(QSerialPort::Input);
    p->serial->clearError();
    rs232Err = 0;
    return 0;
}

int DrainInQ(int port, double quietSeconds, double limitSeconds) {
    OpenPort *p = Find(port);
    if (!p) return Fail(kRs232PortNotOpen);
    QSerialPort &serial = *p->serial;
    const QDeadlineTimer limit(static_cast<qint64>(std::max(limitSeconds, 0.0) * 1000.0 + 0.5));
    const qint64 quietMs = static_cast<qint64>(std::max(quietSeconds, 0.0) * 1000.0 + 0.5);
    long dropped = 0;
    for (;;) {
        dropped += static_cast<long>(serial.readAll().size());
        int failure = 0;
        if (!WaitForInput(serial, std::min(limit, QDeadlineTimer(quietMs)), &failure)) {
            if (failure != 0) return Fail(failure);
            break; // quiet, or the limit reached
        }
    }
    serial.clearError();
    rs232Err = 0;
    return static_cast<int>(std::min<long>(dropped, 1L << 30));
}

int ResumeOutQ(int port) {
    OpenPort *p = Find(port);
    if (!p) return Fail(kRs232PortNotOpen);
    // TCOON alone lifts only a stop of our own (TCOOFF), not one by XOFF:
    // taking the stop on as ours first lets TCOON lift both.
    const int fd = static_cast<int>(p->serial->handle());
    if (::tcflow(fd, TCOOFF) != 0 || ::tcflow(fd, TCOON) != 0) return Fail(kRs232IoError);
    rs232Err = 0;
    return 0;
}

int FlushOutQ(int port) {
    OpenPort *p = Find(port);
    if (!p) return Fail(kRs232PortNotOpen);
    p->serial->clear(QSerialPort::Output);
    p->serial->clearError();
    rs232Err = 0;
    return 0;
}

int CloseCom(int port) {
    auto it = openPorts.find(port);
    if (it == openPorts.end()) return Fail(kRs232PortNotOpen);
    it->second.serial->close();
    openPorts.erase(it);
    rs232Err = 0;
    return 0;
}

int GetRs232Err() {
    return rs232Err;
}
