#include "host/SystemStayAwake.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QString>

namespace verno::host {

namespace {
// A logind that does not answer within this is taken as none: the write does not wait for it.
constexpr int kCallMilliseconds = 2000;
}  // namespace

// The inhibitor lasts as long as its descriptor stays open in this process.
struct SystemStayAwake::Inhibitor {
    QDBusUnixFileDescriptor descriptor;
};

SystemStayAwake::SystemStayAwake() = default;
SystemStayAwake::~SystemStayAwake() = default;

void SystemStayAwake::Hold(const std::string& why) {
    if (hold_) return;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:shutdown") << QStringLiteral("VERNO firmware update") << QString::fromStdString(why)
         << QStringLiteral("block");
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallMilliseconds);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return;
    auto descriptor = qvariant_cast<QDBusUnixFileDescriptor>(reply.arguments().at(0));
    if (descriptor.isValid()) hold_ = std::make_unique<Inhibitor>(Inhibitor{descriptor});
}

void SystemStayAwake::Release() { hold_.reset(); }

bool SystemStayAwake::Held() const { return hold_ != nullptr; }

}  // namespace verno::host
