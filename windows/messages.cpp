// The program's two fixed messages to the user.
#include "windows/windows.h"

#include "host/host.h"

const QString messageTitle = QStringLiteral("Ardenix") + QStringLiteral(" Ver.1.3");

namespace {
constexpr int invalidCallError = 5; // the error number of a call with an invalid argument
}

QString MessageText(MessageKind kind) {
    switch (kind) {
    case MessageKind::FaderNotice:
        return QStringLiteral("All virtual faders will be reset to full down positoin.");
    case MessageKind::Connection:
        return QStringLiteral("Unable to connect to Dorvane.") + QLatin1Char('\r') +
               QStringLiteral(
                   "Please be sure of connection of USB cable and power status of apparatus.");
    default:
        return {};
    }
}

namespace {
// The plain box that says a message could not be prepared.
QString InvalidCallText() {
    return QString::number(invalidCallError) + QLatin1Char('\r') +
           QStringLiteral("Invalid procedure call or argument");
}
} // namespace

void TellUser(host::LoneMessage& box, MessageKind kind, std::function<void()> closed) {
    const QString text = MessageText(kind);
    if (text.isEmpty()) {
        // The message cannot be prepared: say so in a plain box instead.
        box.Show(InvalidCallText(), host::mbOkOnly, host::ApplicationTitle(), std::move(closed));
        return;
    }
    box.Show(text, host::mbInformation, messageTitle, std::move(closed));
}
