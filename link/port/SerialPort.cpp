#include "link/port/SerialPort.h"

#include "link/port/PortLock.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFileInfo>
#include <QString>

#include <cerrno>
#include <chrono>
#include <system_error>
#include <thread>

#include <grp.h>
#include <unistd.h>
#include <sys/stat.h>
#ifdef __linux__
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace verno::link {

namespace {

constexpr qint32 kBaudRate = 38400;
constexpr int kInputWaitMs = 2;
// A 258-byte frame takes under 70 ms at 38400 baud; far longer means the device is stuck.
constexpr int kWriteDeadlineMs = 2000;

std::string SystemReason(int error) { return std::error_code(error, std::generic_category()).message(); }

// What the device node says before it is opened: whether it is there, a serial device, and ours
// to use. Opening it could not tell these apart (a lock held by another program is reported as
// a permission error, as a device we may not use is).
PortOpenResult Examine(const std::string& path) {
    PortOpenResult result;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        result.error = errno == ENOENT || errno == ENOTDIR ? PortOpenError::Missing : PortOpenError::Other;
        result.reason = SystemReason(errno);
        return result;
    }
    if (const group* owner = getgrgid(info.st_gid)) result.deviceGroup = owner->gr_name;
    if (!S_ISCHR(info.st_mode)) {
        result.error = PortOpenError::NotSerial;
    } else if (access(path.c_str(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM)) {
        result.error = PortOpenError::NoPermission;
        result.reason = SystemReason(errno);
    }
    return result;
}

PortOpenError OpenError(QSerialPort::SerialPortError error) {
    switch (error) {
        case QSerialPort::DeviceNotFoundError: return PortOpenError::Missing;
        // The device itself was ours to use: its lock, or an exclusive open, is another program's.
        case QSerialPort::PermissionError: return PortOpenError::InUse;
        case QSerialPort::UnsupportedOperationError: return PortOpenError::NotSerial;
        default: return PortOpenError::Other;
    }
}

}  // namespace

SerialPort::SerialPort() = default;

SerialPort::~SerialPort() { Close(); }

PortOpenResult SerialPort::Open(const std::string& path) {
    Close();
    PortOpenResult result = Examine(path);
    if (result.error != PortOpenError::None) return result;
    // A symlink (the simulated DC's pty, a udev alias) is opened as the device it names.
    QString name = QString::fromStdString(path);
    const QString canonical = QFileInfo(name).canonicalFilePath();
    if (!canonical.isEmpty()) name = canonical;
    port_.setPortName(name);

    const bool configured = port_.open(QIODevice::ReadWrite) && port_.setBaudRate(kBaudRate) &&
                            port_.setDataBits(QSerialPort::Data8) && port_.setParity(QSerialPort::NoParity) &&
                            port_.setStopBits(QSerialPort::OneStop) &&
                            port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        result.error = OpenError(port_.error());
        result.reason = port_.errorString().toStdString();
        // A lock whose owner has ended, and that Qt could not clear away (another user's, or in a
        // form it does not read): no program to close, but a file to delete.
        if (result.error == PortOpenError::InUse) {
            if (const auto stale = StaleLockFile(name.toStdString())) {
                result.error = PortOpenError::StaleLock;
                result.reason = stale->string();
            }
        }
        if (port_.isOpen()) port_.close();
        port_.clearError();
        return result;
    }
    // A pseudo-terminal has no modem lines; that is no error.
    port_.setDataTerminalReady(true);
    port_.setRequestToSend(true);
    port_.clearError();
    RequestLowLatency();
    result.opened = true;
    return result;
}

void SerialPort::RequestLowLatency() {
#ifdef __linux__
    // The converter otherwise holds received bytes back for up to 16 ms; a driver without the
    // setting (a pty) simply keeps its own timing.
    serial_struct settings{};
    const int fd = static_cast<int>(port_.handle());
    if (fd >= 0 && ioctl(fd, TIOCGSERIAL, &settings) == 0) {
        settings.flags |= ASYNC_LOW_LATENCY;
        ioctl(fd, TIOCSSERIAL, &settings);
    }
#endif
}

void SerialPort::Close() {
    if (port_.isOpen()) {
        port_.flush();
        port_.close();
    }
    port_.clearError();
}

bool SerialPort::IsOpen() const { return port_.isOpen(); }

void SerialPort::Attach(CommModule& comm) { comm_ = &comm; }

PortResult SerialPort::Write(std::span<const std::uint8_t> bytes) {
    if (!port_.isOpen()) return PortResult::NotOpen;
    const auto size = static_cast<qint64>(bytes.size());
    if (port_.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
        port_.clearError();
        return PortResult::WriteFailed;
    }
    // QSerialPort only writes from the event loop; push the frame out now, as the DC's reply
    // timeout starts with the send.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWriteDeadlineMs);
    port_.flush();
    while (port_.bytesToWrite() > 0) {
        const bool progressed = port_.waitForBytesWritten(10);
        const auto error = port_.error();
        const bool broken = !progressed && error != QSerialPort::NoError && error != QSerialPort::TimeoutError;
        if (broken || std::chrono::steady_clock::now() >= deadline) {
            // Do not leave half a frame queued to go out ahead of the next one.
            port_.clear(QSerialPort::Output);
            port_.clearError();
            return PortResult::WriteFailed;
        }
    }
    if (tap_) tap_(true, bytes);
    return PortResult::Ok;
}

void SerialPort::Clear() {
    if (!port_.isOpen()) return;
    // Both the driver's queues and what QSerialPort has already read but not delivered.
    port_.clear(QSerialPort::AllDirections);
    port_.readAll();
}

void SerialPort::Deliver() {
    const QByteArray chunk = port_.readAll();
    if (chunk.isEmpty()) return;
    const std::span bytes(reinterpret_cast<const std::uint8_t*>(chunk.constData()), static_cast<std::size_t>(chunk.size()));
    if (tap_) tap_(false, bytes);
    if (comm_ != nullptr) comm_->ReceiveData(bytes);
}

void SerialPort::RunPending() {
    // The user's actions (Close among them) run here, and may use this port themselves.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (!port_.isOpen()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kInputWaitMs));
        return;
    }
    if (port_.bytesAvailable() == 0) {
        const auto start = std::chrono::steady_clock::now();
        if (!port_.waitForReadyRead(kInputWaitMs)) {
            // A vanished device or a closed peer makes the wait return at once; never spin on it.
            if (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(1))
                std::this_thread::sleep_for(std::chrono::milliseconds(kInputWaitMs));
            port_.clearError();
        }
    }
    Deliver();
}

}  // namespace verno::link
