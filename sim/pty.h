// The pseudo-terminal that stands in for the mixer's serial cable, and the
// symbolic link through which the panel finds it. Both own what they create:
// closing the pseudo-terminal hangs up the panel's side, as a pulled cable
// does; destroying the link removes it.
#pragma once

#include <termios.h>

#include <optional>
#include <string>

namespace sim {

class PseudoTerminal {
public:
    // Creates the pair, sets the panel's side to raw mode and keeps a
    // descriptor of that side open, so the panel may close and reopen its port
    // without the mixer's side seeing a hang-up. Empty on failure (error set).
    static std::optional<PseudoTerminal> Open(std::string& error);

    PseudoTerminal(PseudoTerminal&& other) noexcept;
    PseudoTerminal& operator=(PseudoTerminal&& other) noexcept;
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;
    ~PseudoTerminal();

    int Master() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }
    // The line settings the panel made on its side; empty when unreadable.
    std::optional<termios> LineSettings() const;
    // Puts the panel's side back to the settings it had when it was made.
    // False when that failed.
    bool RestoreLineSettings() const;

private:
    PseudoTerminal() = default;
    void Close();

    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    termios initial_{}; // the panel's side as it was made
};

class DeviceLink {
public:
    // Points the link at target, replacing an earlier symbolic link at that
    // path in one step (a regular file or directory there is left alone and is
    // an error). Empty on failure (error set).
    static std::optional<DeviceLink> Create(const std::string& path, const std::string& target,
                                            std::string& error);

    DeviceLink(DeviceLink&& other) noexcept;
    DeviceLink& operator=(DeviceLink&& other) noexcept;
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;
    // Removes the link if it still points at its target.
    ~DeviceLink();

    const std::string& Path() const { return path_; }

private:
    DeviceLink(std::string path, std::string target);
    void Remove();

    std::string path_;
    std::string target_;
};

} // namespace sim
