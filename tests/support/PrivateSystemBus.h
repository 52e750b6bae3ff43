#pragma once
// A system bus of the test's own: a real dbus-daemon on a socket in a temporary folder, with
// python3-dbusmock's logind on it. Programs reach it through DBUS_SYSTEM_BUS_ADDRESS.

#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include "tests/e2e/Processes.h"
#include "tests/support/TempFolder.h"

namespace verno {

class PrivateSystemBus {
public:
    PrivateSystemBus() : address_("unix:path=" + (dir_.path() / "bus").string()) {
        daemon_ = e2e::Spawn({"/usr/bin/dbus-daemon", "--session", "--nofork", "--address=" + address_},
                             dir_.path() / "daemon.log");
        e2e::WaitForPath(dir_.path() / "bus", std::chrono::seconds(10));
    }
    ~PrivateSystemBus() {
        if (logind_ > 0) Stop(logind_);
        Stop(daemon_);
    }
    PrivateSystemBus(const PrivateSystemBus&) = delete;
    PrivateSystemBus& operator=(const PrivateSystemBus&) = delete;

    const std::string& Address() const { return address_; }
    std::string Environment() const { return "DBUS_SYSTEM_BUS_ADDRESS=" + address_; }

    // Starts logind's mock and waits until it owns its name; false when it did not come.
    bool StartLogind() {
        logind_ = e2e::Spawn({"/usr/bin/python3", "-m", "dbusmock", "--template", "logind", "--system"},
                             dir_.path() / "logind.log", {Environment()});
        for (int i = 0; i < 200; ++i) {
            if (Call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                     "string:org.freedesktop.login1")
                    .find("boolean true") != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // A method call by dbus-send, its reply as dbus-send prints it.
    std::string Call(const std::string& name, const std::string& path, const std::string& method,
                     const std::string& argument = {}) const {
        const auto out = dir_.path() / "reply";
        std::vector<std::string> argv{"/usr/bin/dbus-send", "--bus=" + address_, "--print-reply", "--dest=" + name,
                                      path, method};
        if (!argument.empty()) argv.push_back(argument);
        e2e::Wait(e2e::Spawn(argv, out));
        return e2e::ReadText(out);
    }

    std::string LogindInhibitors() const {
        return Call("org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager.ListInhibitors");
    }

private:
    static void Stop(pid_t pid) {
        kill(pid, SIGTERM);
        e2e::Wait(pid);
    }

    TempFolder dir_;
    std::string address_;
    pid_t daemon_ = -1;
    pid_t logind_ = -1;
};

}  // namespace verno
