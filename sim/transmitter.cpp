#include "sim/transmitter.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace sim {

namespace {

constexpr qint64 bitsPerByte = 11;
constexpr qint64 nsPerSecond = 1'000'000'000;
constexpr qint64 nsPerMs = 1'000'000;
// The data bytes of one packet of an FTDI converter (64 bytes less 2 of status).
constexpr std::size_t converterPacketBytes = 62;

} // namespace

Transmitter::Transmitter(ErrorHandler onError) : onError_(std::move(onError)) {
    clock_.start();
    SetBaud(38400);
    pacer_.setTimerType(Qt::PreciseTimer);
    pacer_.setInterval(1);
    QObject::connect(&pacer_, &QTimer::timeout, [this] { Pump(); });
}

Transmitter::~Transmitter() = default;

void Transmitter::Attach(int fd) {
    writable_.reset();
    queue_.clear();
    pacer_.stop();
    fd_ = fd;
    if (fd_ >= 0) {
        writable_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Write);
        writable_->setEnabled(false);
        QObject::connect(writable_.get(), &QSocketNotifier::activated, [this] {
            writable_->setEnabled(false);
            Pump();
        });
    }
}

void Transmitter::SetBaud(int baud) {
    if (baud > 0) {
        byteNs_ = bitsPerByte * nsPerSecond / baud;
    }
}

void Transmitter::SetConverterLatency(int ms) {
    latencyNs_ = ms > 0 ? ms * nsPerMs : 0;
}

void Transmitter::Send(std::string_view bytes) {
    if (fd_ < 0 || bytes.empty()) {
        return;
    }
    if (queue_.empty()) {
        nextDueNs_ = std::max(lineFreeNs_, clock_.nsecsElapsed()) + byteNs_;
    }
    queue_.append(bytes);
    Pump();
}

void Transmitter::Pump() {
    if (fd_ < 0 || queue_.empty()) {
        pacer_.stop();
        return;
    }
    if (!paced_) {
        WriteNow(queue_.size());
    } else {
        const qint64 now = clock_.nsecsElapsed();
        std::size_t due = 0;
        qint64 at = nextDueNs_;
        while (due < queue_.size() && at <= now) {
            ++due;
            at += byteNs_;
        }
        if (latencyNs_ > 0) {
            // The converter holds what has arrived until a packet is full or
            // its latency timer runs out.
            // The timer runs on whether or not anything waits, so the
            // packets leave on its ticks.
            due = std::min(due, converterPacketBytes);
            if (due < converterPacketBytes && now / latencyNs_ == lastPacketTick_) {
                due = 0;
            }
        }
        if (due > 0) {
            WriteNow(due);
            lastPacketTick_ = latencyNs_ > 0 ? now / latencyNs_ : 0;
        }
    }
    if (queue_.empty()) {
        pacer_.stop();
    } else if (paced_ && !(writable_ && writable_->isEnabled())) {
        if (!pacer_.isActive()) {
            pacer_.start();
        }
    }
}

void Transmitter::WriteNow(std::size_t count) {
    const ssize_t n = ::write(fd_, queue_.data(), count);
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR) {
            // The line's buffer is full: go on when it has room.
            pacer_.stop();
            if (writable_) {
                writable_->setEnabled(true);
            }
            return;
        }
        const std::string reason = std::strerror(errno);
        queue_.clear();
        onError_("write to the line failed: " + reason);
        return;
    }
    queue_.erase(0, static_cast<std::size_t>(n));
    if (paced_) {
        lineFreeNs_ = nextDueNs_ + (n - 1) * byteNs_;
        nextDueNs_ += n * byteNs_;
    } else {
        lineFreeNs_ = clock_.nsecsElapsed();
        nextDueNs_ = lineFreeNs_ + byteNs_;
    }
    if (static_cast<std::size_t>(n) < count && writable_) {
        pacer_.stop();
        writable_->setEnabled(true);
    }
}

} // namespace sim
