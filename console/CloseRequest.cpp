#include "console/CloseRequest.h"

#include <atomic>
#include <thread>

namespace verno::console {

namespace {

// Written from a signal handler or another thread: lock-free atomics are safe in both.
std::atomic<bool> requested{false};
std::atomic<int> lastSignal{0};
std::atomic<bool> consoleWideRequest{false};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

}  // namespace

void RequestClose(int signal, bool consoleWide) {
    lastSignal = signal;
    consoleWideRequest = consoleWide;
    requested = true;
}

bool TakeCloseRequest() { return requested.exchange(false); }

bool CloseRequested() { return requested.load(); }

bool CloseRequestWithin(std::chrono::milliseconds limit) {
    for (auto left = limit; !CloseRequested(); left -= std::chrono::milliseconds(10)) {
        if (left <= std::chrono::milliseconds(0)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

int CloseSignal() { return lastSignal.load(); }

bool CloseWasConsoleWide() { return consoleWideRequest.load(); }

}  // namespace verno::console
