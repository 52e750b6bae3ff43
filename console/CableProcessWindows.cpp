#include "console/CableProcess.h"

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "common/ProgramFolder.h"

namespace verno::console {

namespace {

// One argument as the C runtime's parser takes it apart again: quoted when it holds a blank or
// a quote, each quote escaped, and backslashes doubled only where a quote follows them.
std::wstring Quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

std::string LastError() { return std::system_category().message(static_cast<int>(GetLastError())); }

}  // namespace

struct CableProcesses::System {
    struct Child {
        HANDLE process = nullptr;
        DWORD id = 0;
        std::thread readers[2];  // standard output, standard error
    };
    std::deque<Child> children;  // a reader refers to nothing in it, but it never moves anyway

    // What the readers got, for Wait.
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<ProcessOutput> queue;

    // Reads one pipe to its end, then closes it.
    void Read(HANDLE pipe, std::size_t process, bool error) {
        char buffer[4096];
        DWORD n = 0;
        for (bool open = true; open;) {
            // A write of no bytes reads as no bytes; the pipe has ended only when the read fails.
            open = ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) != 0;
            if (open && n == 0) continue;
            ProcessOutput piece{process, error, open ? std::string(buffer, n) : std::string()};
            const std::lock_guard lock(mutex);
            queue.push_back(std::move(piece));
            arrived.notify_one();
        }
        CloseHandle(pipe);
    }
};

CableProcesses::CableProcesses() : system_(std::make_unique<System>()) {}

CableProcesses::~CableProcesses() {
    for (System::Child& child : system_->children) {
        for (std::thread& reader : child.readers)
            if (reader.joinable()) reader.join();
        if (child.process != nullptr) CloseHandle(child.process);
    }
}

std::optional<std::size_t> CableProcesses::Start(const std::vector<std::string>& args, std::string& reason) {
    const std::wstring self = ProgramFile().wstring();
    std::wstring commandLine = Quoted(self);
    // The arguments are UTF-8; the standard library's path conversion widens them.
    for (const std::string& a : args) commandLine += L" " + Quoted(std::filesystem::u8path(a).wstring());
    // Only the child's ends are inherited, and they are closed here at once: a pipe ends when
    // its child does, not when the last of the bench's children does.
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE read[2] = {nullptr, nullptr};
    HANDLE write[2] = {nullptr, nullptr};
    const HANDLE nothing = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                       OPEN_EXISTING, 0, nullptr);
    bool made = nothing != INVALID_HANDLE_VALUE;
    for (int i = 0; i < 2 && made; ++i)
        made = CreatePipe(&read[i], &write[i], &inherited, 0) && SetHandleInformation(read[i], HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing;
    startup.hStdOutput = write[0];
    startup.hStdError = write[1];
    PROCESS_INFORMATION started{};
    // A group of its own, so that it can be sent a Ctrl-Break alone; a typed Ctrl-C reaches only
    // this program, which passes it on once.
    made = made && CreateProcessW(self.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP,
                                  nullptr, nullptr, &startup, &started);
    if (!made) reason = LastError();
    for (const HANDLE h : {nothing, write[0], write[1]})
        if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (!made) {
        for (const HANDLE h : read)
            if (h != nullptr) CloseHandle(h);
        return std::nullopt;
    }
    CloseHandle(started.hThread);
    const std::size_t number = system_->children.size();
    System::Child& child = system_->children.emplace_back();
    child.process = started.hProcess;
    child.id = started.dwProcessId;
    for (int i = 0; i < 2; ++i)
        child.readers[i] = std::thread([this, pipe = read[i], number, i] { system_->Read(pipe, number, i == 1); });
    return number;
}

bool CableProcesses::PassOnClose() {
    bool all = true;
    for (const System::Child& child : system_->children)
        if (WaitForSingleObject(child.process, 0) == WAIT_TIMEOUT)
            all = GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, child.id) && all;
    return all;
}

std::vector<ProcessOutput> CableProcesses::Wait(std::chrono::milliseconds limit) {
    std::unique_lock lock(system_->mutex);
    system_->arrived.wait_for(lock, limit, [this] { return !system_->queue.empty(); });
    return std::exchange(system_->queue, {});
}

ProcessEnd CableProcesses::Reap(std::size_t process) {
    System::Child& child = system_->children.at(process);
    WaitForSingleObject(child.process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(child.process, &code);
    return {static_cast<long long>(code), 0};
}

}  // namespace verno::console
