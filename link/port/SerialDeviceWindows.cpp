#include "link/port/SerialDevice.h"

#include <QString>

#include <thread>

#include <windows.h>

namespace verno::link {

struct SerialDevice::System {
    HANDLE file = INVALID_HANDLE_VALUE;
};

namespace {

std::string SystemReason(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString reason = length > 0 ? QString::fromWCharArray(text, static_cast<qsizetype>(length)).trimmed()
                                : QStringLiteral("error %1").arg(error);
    LocalFree(text);
    if (reason.endsWith(QLatin1Char('.'))) reason.chop(1);
    return reason.toStdString();
}

// "COM12" is opened as \\.\COM12: the short form reaches only COM1 to COM9.
std::wstring DeviceName(const std::string& path) {
    const QString name = QString::fromStdString(path);
    if (name.startsWith(QLatin1String("\\\\.\\"))) return name.toStdWString();
    return (QLatin1String("\\\\.\\") + name).toStdWString();
}

PortOpenError OpenError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_NETPATH:
            return PortOpenError::Missing;
        // A COM port is opened by one program at a time; Windows answers the next "access denied".
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return PortOpenError::InUse;
        default:
            return PortOpenError::Other;
    }
}

bool Configure(HANDLE file) {
    DCB line{};
    line.DCBlength = sizeof line;
    if (!GetCommState(file, &line)) return false;
    line.BaudRate = SerialDevice::kBaudRate;
    line.ByteSize = 8;
    line.Parity = NOPARITY;
    line.StopBits = ONESTOPBIT;
    line.fBinary = TRUE;
    line.fParity = FALSE;
    line.fOutxCtsFlow = FALSE;
    line.fOutxDsrFlow = FALSE;
    line.fDtrControl = DTR_CONTROL_ENABLE;
    line.fRtsControl = RTS_CONTROL_ENABLE;
    line.fDsrSensitivity = FALSE;
    line.fOutX = FALSE;
    line.fInX = FALSE;
    line.fErrorChar = FALSE;
    line.fNull = FALSE;
    line.fAbortOnError = FALSE;
    // The driver's queues hold a whole profile block and its reply many times over.
    SetupComm(file, 4096, 4096);
    if (!SetCommState(file, &line)) return false;
    // A read returns at once with what has arrived, or with the first byte that arrives within
    // the pump's step; a write gives up when the device takes no more.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(SerialDevice::kInputWait.count());
    timeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(SerialDevice::kWriteDeadline.count());
    return SetCommTimeouts(file, &timeouts) && PurgeComm(file, PURGE_RXCLEAR | PURGE_TXCLEAR);
}

// The errors a read or write of a COM port gives once its device went away: an unplugged USB
// converter, a driver stopped or removed.
bool MeansGone(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_BAD_COMMAND:
        case ERROR_OPERATION_ABORTED:
        case ERROR_GEN_FAILURE:
        case ERROR_DEVICE_NOT_CONNECTED:
            return true;
        default:
            return false;
    }
}

}  // namespace

// COM ports are no files, and their names no links.
std::string DevicePath(const std::string& path) { return path; }

SerialDevice::SerialDevice() : system_(std::make_unique<System>()) {}

SerialDevice::~SerialDevice() { Close(); }

PortOpenResult SerialDevice::Open(const std::string& path) {
    Close();
    lost_.reset();
    PortOpenResult result;
    const HANDLE file = CreateFileW(DeviceName(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        result.error = OpenError(error);
        result.reason = SystemReason(error);
        return result;
    }
    if (GetFileType(file) != FILE_TYPE_CHAR) {
        result.error = PortOpenError::NotSerial;
        CloseHandle(file);
        return result;
    }
    // A COM port that takes no settings is broken or busy, not another kind of device.
    if (!Configure(file)) {
        result.error = PortOpenError::Other;
        result.reason = SystemReason(GetLastError());
        CloseHandle(file);
        return result;
    }
    system_->file = file;
    result.opened = true;
    return result;
}

void SerialDevice::Close() {
    if (system_->file == INVALID_HANDLE_VALUE) return;
    CloseHandle(system_->file);
    system_->file = INVALID_HANDLE_VALUE;
}

bool SerialDevice::IsOpen() const { return system_->file != INVALID_HANDLE_VALUE; }

PortResult SerialDevice::Write(std::span<const std::uint8_t> bytes) {
    if (!IsOpen()) return PortResult::NotOpen;
    if (lost_) return PortResult::Gone;
    DWORD written = 0;
    const auto size = static_cast<DWORD>(bytes.size());
    if (!WriteFile(system_->file, bytes.data(), size, &written, nullptr) || written != size) {
        const DWORD error = GetLastError();
        // Do not leave half a frame queued to go out ahead of the next one.
        PurgeComm(system_->file, PURGE_TXABORT | PURGE_TXCLEAR);
        DWORD errors = 0;
        ClearCommError(system_->file, &errors, nullptr);
        if (MeansGone(error)) {
            lost_ = SystemReason(error);
            return PortResult::Gone;
        }
        return PortResult::WriteFailed;
    }
    return PortResult::Ok;
}

void SerialDevice::Clear() {
    if (IsOpen()) PurgeComm(system_->file, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
}

std::span<const std::uint8_t> SerialDevice::Read() {
    DWORD got = 0;
    const auto start = std::chrono::steady_clock::now();
    const bool read = IsOpen() && ReadFile(system_->file, buffer_.data(), static_cast<DWORD>(buffer_.size()), &got, nullptr);
    if (read && got > 0) return std::span<const std::uint8_t>(buffer_.data(), got);
    // An unplugged converter, or a closed peer under wine, fails every read at once; never spin on it.
    if (!read && IsOpen()) {
        const DWORD error = GetLastError();
        DWORD errors = 0;
        ClearCommError(system_->file, &errors, nullptr);
        if (!lost_ && MeansGone(error)) lost_ = SystemReason(error);
    }
    if (!read || std::chrono::steady_clock::now() - start < std::chrono::milliseconds(1))
        std::this_thread::sleep_for(kInputWait);
    return {};
}

}  // namespace verno::link
