// The network remote of the program, when it is switched on: the HTTP and
// WebSocket server, OSC over UDP and TCP, and their announcement on the
// local network, all on the mixer's operations.
#pragma once

#include "app/options.h"

#include <QString>

#include <functional>
#include <memory>

namespace engine {
class MixerOperations;
}

class NetworkRemote {
public:
    ~NetworkRemote();
    NetworkRemote(const NetworkRemote&) = delete;
    NetworkRemote& operator=(const NetworkRemote&) = delete;

    // Reads the [remote] group of ardenix.conf under the command line's
    // options; when the remote is on, listens and says where in one line
    // (`say`). Null when it is off, or when it cannot listen (`say` hears why).
    static std::unique_ptr<NetworkRemote> Start(engine::MixerOperations& operations,
                                                const ProgramOptions& options,
                                                const std::function<void(const QString&)>& say);

    // The web page's address with its token (http://HOST:PORT/#token=T).
    QString PageAddress() const;

private:
    struct Parts;
    explicit NetworkRemote(std::unique_ptr<Parts> parts);
    std::unique_ptr<Parts> parts_;
};
