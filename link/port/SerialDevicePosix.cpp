#include "link/port/SerialDevice.h"

#include "link/port/PortLock.h"

#include <QSerialPort>
#include <QString>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace verno::link {

struct SerialDevice::System {
    QSerialPort port;
};

namespace {

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

// The converter otherwise holds received bytes back for up to 16 ms; a driver without the
// setting (a pty) simply keeps its own timing.
void RequestLowLatency([[maybe_unused]] QSerialPort& port) {
#ifdef __linux__
    serial_struct settings{};
    const int fd = static_cast<int>(port.handle());
    if (fd >= 0 && ioctl(fd, TIOCGSERIAL, &settings) == 0) {
        settings.flags |= ASYNC_LOW_LATENCY;
        ioctl(fd, TIOCSSERIAL, &settings);
    }
#endif
}

// After Qt reported a read or write error: whether the device went away, in the system's words.
// A read of one byte tells (EIO, ENXIO, ENODEV, or the end of a hung-up line); a byte it happens
// to get goes to `arrived`.
std::optional<std::string> WentAway(QSerialPort& port, std::optional<std::uint8_t>& arrived) {
    const int fd = static_cast<int>(port.handle());
    if (fd < 0) return std::nullopt;
    std::uint8_t byte = 0;
    const ssize_t n = ::read(fd, &byte, 1);
    if (n == 1) {
        arrived = byte;
        return std::nullopt;
    }
    if (n == 0) return std::string("hang-up");
    if (errno == EIO || errno == ENXIO || errno == ENODEV) return SystemReason(errno);
    return std::nullopt;
}

bool IsDeviceError(QSerialPort::SerialPortError error) {
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError || error == QSerialPort::WriteError;
}

}  // namespace

std::string DevicePath(const std::string& path) {
    // Device aliases are links in /dev (udev's, the simulated DC's pty), so following the last
    // component is enough. Not realpath: under umockdev's test bed (0.17) it smashes the stack.
    std::filesystem::path device(path);
    std::error_code error;
    for (int hops = 0; hops < 40 && std::filesystem::is_symlink(device, error); ++hops) {
        const std::filesystem::path target = std::filesystem::read_symlink(device, error);
        if (error) break;
        device = target.is_absolute() ? target : device.parent_path() / target;
    }
    return device.lexically_normal().string();
}

SerialDevice::SerialDevice() : system_(std::make_unique<System>()) {}

SerialDevice::~SerialDevice() { Close(); }

PortOpenResult SerialDevice::Open(const std::string& path) {
    Close();
    lost_.reset();
    PortOpenResult result = Examine(path);
    if (result.error != PortOpenError::None) return result;
    QSerialPort& port = system_->port;
    // A symlink (the simulated DC's pty, a udev alias) is opened as the device it names.
    const QString name = QString::fromStdString(DevicePath(path));
    port.setPortName(name);

    const bool configured = port.open(QIODevice::ReadWrite) && port.setBaudRate(static_cast<qint32>(kBaudRate)) &&
                            port.setDataBits(QSerialPort::Data8) && port.setParity(QSerialPort::NoParity) &&
                            port.setStopBits(QSerialPort::OneStop) &&
                            port.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        result.error = OpenError(port.error());
        result.reason = port.errorString().toStdString();
        // A lock whose owner has ended, and that Qt could not clear away (another user's, or in a
        // form it does not read): no program to close, but a file to delete.
        if (result.error == PortOpenError::InUse) {
            if (const auto stale = StaleLockFile(name.toStdString())) {
                result.error = PortOpenError::StaleLock;
                result.reason = stale->string();
            }
        }
        if (port.isOpen()) port.close();
        port.clearError();
        return result;
    }
    // A pseudo-terminal has no modem lines; that is no error.
    port.setDataTerminalReady(true);
    port.setRequestToSend(true);
    port.clearError();
    RequestLowLatency(port);
    result.opened = true;
    return result;
}

void SerialDevice::Close() {
    QSerialPort& port = system_->port;
    if (port.isOpen()) {
        port.flush();
        port.close();
    }
    port.clearError();
}

bool SerialDevice::IsOpen() const { return system_->port.isOpen(); }

PortResult SerialDevice::Write(std::span<const std::uint8_t> bytes) {
    QSerialPort& port = system_->port;
    if (!port.isOpen()) return PortResult::NotOpen;
    if (lost_) return PortResult::Gone;
    const auto size = static_cast<qint64>(bytes.size());
    std::optional<std::uint8_t> ignored;
    if (port.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
        if (IsDeviceError(port.error())) lost_ = WentAway(port, ignored);
        port.clearError();
        return lost_ ? PortResult::Gone : PortResult::WriteFailed;
    }
    // QSerialPort only writes from the event loop; push the frame out now, as the DC's reply
    // timeout starts with the send.
    const auto deadline = std::chrono::steady_clock::now() + kWriteDeadline;
    port.flush();
    while (port.bytesToWrite() > 0) {
        const bool progressed = port.waitForBytesWritten(10);
        const auto error = port.error();
        const bool broken = !progressed && error != QSerialPort::NoError && error != QSerialPort::TimeoutError;
        if (broken || std::chrono::steady_clock::now() >= deadline) {
            if (IsDeviceError(error)) lost_ = WentAway(port, ignored);
            // Do not leave half a frame queued to go out ahead of the next one.
            port.clear(QSerialPort::Output);
            port.clearError();
            return lost_ ? PortResult::Gone : PortResult::WriteFailed;
        }
    }
    return PortResult::Ok;
}

void SerialDevice::Clear() {
    QSerialPort& port = system_->port;
    if (!port.isOpen()) return;
    // Both the driver's queues and what QSerialPort has already read but not delivered.
    port.clear(QSerialPort::AllDirections);
    port.readAll();
}

std::span<const std::uint8_t> SerialDevice::Read() {
    QSerialPort& port = system_->port;
    if (!port.isOpen()) {
        std::this_thread::sleep_for(kInputWait);
        return {};
    }
    std::optional<std::uint8_t> arrived;
    if (port.bytesAvailable() == 0) {
        const auto start = std::chrono::steady_clock::now();
        if (!port.waitForReadyRead(static_cast<int>(kInputWait.count()))) {
            if (!lost_ && IsDeviceError(port.error())) lost_ = WentAway(port, arrived);
            // A vanished device or a closed peer makes the wait return at once; never spin on it.
            if (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(1))
                std::this_thread::sleep_for(kInputWait);
            port.clearError();
        }
    }
    std::size_t count = 0;
    if (arrived) buffer_[count++] = *arrived;
    const qint64 got = port.read(reinterpret_cast<char*>(buffer_.data() + count), static_cast<qint64>(buffer_.size() - count));
    if (got > 0) count += static_cast<std::size_t>(got);
    return std::span<const std::uint8_t>(buffer_.data(), count);
}

}  // namespace verno::link
