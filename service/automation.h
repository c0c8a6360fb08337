// The mixer on the user's session bus while the program runs: the
// well-known name org.ardenix.Ardenix with the object /org/ardenix/Ardenix,
// registered from the start (before the first contact with the mixer) and
// gone with this object. Without a session bus (or with the name taken) the
// program runs as before and says so once on standard error.
#pragma once

#include <QDBusConnection>
#include <QString>

#include <functional>
#include <memory>

class MixerService;
namespace engine {
class MixerOperations;
}

namespace automation {

class Automation {
public:
    // `raise` brings the program's window to the front (empty without one).
    Automation(engine::MixerOperations& operations, std::function<void()> raise);
    ~Automation();
    Automation(const Automation&) = delete;
    Automation& operator=(const Automation&) = delete;

    // True when the name and the object are on the bus.
    bool Registered() const { return registered_; }
    // Why not, when they are not.
    const QString& Problem() const { return problem_; }

private:
    QDBusConnection bus_;
    std::unique_ptr<MixerService> service_;
    bool registered_ = false;
    QString problem_;
};

// A second start: asks the instance that holds the name to bring its panel to
// the front (org.freedesktop.Application.Activate). False when there is no
// session bus, nobody holds the name or it did not answer in time.
bool ActivateRunningInstance();

} // namespace automation
