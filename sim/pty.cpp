#include "sim/pty.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace sim {

namespace {

std::string Reason(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

void CloseDescriptor(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

std::optional<PseudoTerminal> PseudoTerminal::Open(std::string& error) {
    PseudoTerminal pty;
    pty.master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty.master_ < 0) {
        error = Reason("posix_openpt");
        return std::nullopt;
    }
    if (::grantpt(pty.master_) != 0 || ::unlockpt(pty.master_) != 0) {
        error = Reason("grantpt/unlockpt");
        return std::nullopt;
    }
    std::array<char, 128> name{};
    if (::ptsname_r(pty.master_, name.data(), name.size()) != 0) {
        error = Reason("ptsname");
        return std::nullopt;
    }
    pty.slavePath_ = name.data();
    // O_NOCTTY: the pseudo-terminal never becomes the simulator's controlling
    // terminal, so its hang-up sends no signal here.
    pty.slave_ = ::open(name.data(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty.slave_ < 0) {
        error = Reason("open of the pseudo-terminal's slave");
        return std::nullopt;
    }
    termios settings{};
    if (::tcgetattr(pty.slave_, &settings) != 0) {
        error = Reason("tcgetattr");
        return std::nullopt;
    }
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B38400);
    ::cfsetospeed(&settings, B38400);
    // The mixer's line settings; the kernel keeps no parity-enable flag on a
    // pseudo-terminal (a request for it fails), so odd parity is all there is.
    settings.c_cflag |= CLOCAL | CREAD | PARODD;
    if (::tcsetattr(pty.slave_, TCSANOW, &settings) != 0) {
        error = Reason("tcsetattr");
        return std::nullopt;
    }
    pty.initial_ = settings;
    const int flags = ::fcntl(pty.master_, F_GETFL);
    if (flags < 0 || ::fcntl(pty.master_, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = Reason("fcntl");
        return std::nullopt;
    }
    return std::optional<PseudoTerminal>(std::move(pty));
}

PseudoTerminal::PseudoTerminal(PseudoTerminal&& other) noexcept
    : master_(std::exchange(other.master_, -1)), slave_(std::exchange(other.slave_, -1)),
      slavePath_(std::move(other.slavePath_)), initial_(other.initial_) {}

PseudoTerminal& PseudoTerminal::operator=(PseudoTerminal&& other) noexcept {
    if (this != &other) {
        Close();
        master_ = std::exchange(other.master_, -1);
        slave_ = std::exchange(other.slave_, -1);
        slavePath_ = std::move(other.slavePath_);
        initial_ = other.initial_;
    }
    return *this;
}

PseudoTerminal::~PseudoTerminal() {
    Close();
}

void PseudoTerminal::Close() {
    // The master last: closing it hangs up every open descriptor of the slave.
    CloseDescriptor(slave_);
    CloseDescriptor(master_);
}

std::optional<termios> PseudoTerminal::LineSettings() const {
    termios settings{};
    if (slave_ < 0 || ::tcgetattr(slave_, &settings) != 0) {
        return std::nullopt;
    }
    return settings;
}

bool PseudoTerminal::RestoreLineSettings() const {
    return slave_ >= 0 && ::tcsetattr(slave_, TCSANOW, &initial_) == 0;
}

std::optional<DeviceLink> DeviceLink::Create(const std::string& path, const std::string& target,
                                             std::string& error) {
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        error = path + " exists and is not a symbolic link; it is left alone";
        return std::nullopt;
    }
    // A new link beside the old one, renamed over it: a panel watching the
    // directory sees the link re-pointed, never missing.
    const std::string temporary = path + ".new." + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0) {
        error = Reason(("symlink " + temporary).c_str());
        return std::nullopt;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        error = Reason(("rename to " + path).c_str());
        ::unlink(temporary.c_str());
        return std::nullopt;
    }
    return DeviceLink(path, target);
}

DeviceLink::DeviceLink(std::string path, std::string target)
    : path_(std::move(path)), target_(std::move(target)) {}

DeviceLink::DeviceLink(DeviceLink&& other) noexcept
    : path_(std::move(other.path_)), target_(std::move(other.target_)) {
    other.path_.clear();
}

DeviceLink& DeviceLink::operator=(DeviceLink&& other) noexcept {
    if (this != &other) {
        Remove();
        path_ = std::move(other.path_);
        target_ = std::move(other.target_);
        other.path_.clear();
    }
    return *this;
}

DeviceLink::~DeviceLink() {
    Remove();
}

void DeviceLink::Remove() {
    if (path_.empty()) {
        return;
    }
    std::array<char, 4096> pointed{};
    const ssize_t n = ::readlink(path_.c_str(), pointed.data(), pointed.size() - 1);
    // Only our own link goes: another simulator may have taken the path over.
    if (n >= 0 && std::string(pointed.data(), static_cast<std::size_t>(n)) == target_) {
        ::unlink(path_.c_str());
    }
    path_.clear();
}

} // namespace sim
