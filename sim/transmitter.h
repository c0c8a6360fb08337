// Puts the replies on the line. Without pacing every reply is written at
// once; with pacing each byte leaves when it would have left a real serial
// line (11 bits per byte: start, 8 data, parity, stop), scheduled on a timer so
// the event loop never blocks.
#pragma once

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace sim {

class Transmitter {
public:
    using ErrorHandler = std::function<void(const std::string&)>;

    explicit Transmitter(ErrorHandler onError);
    Transmitter(const Transmitter&) = delete;
    Transmitter& operator=(const Transmitter&) = delete;
    ~Transmitter();

    // The descriptor to write to; -1 detaches (anything queued is dropped).
    void Attach(int fd);
    void SetPaced(bool paced) { paced_ = paced; }
    bool Paced() const { return paced_; }
    // The line speed that paces the bytes.
    void SetBaud(int baud);
    void Send(std::string_view bytes);
    std::size_t Queued() const { return queue_.size(); }

private:
    void Pump();
    void WriteNow(std::size_t count);

    ErrorHandler onError_;
    int fd_ = -1;
    bool paced_ = false;
    qint64 byteNs_ = 0;
    qint64 nextDueNs_ = 0;  // when the first queued byte has fully left the line
    qint64 lineFreeNs_ = 0; // when the last written byte has fully left the line
    std::string queue_;
    QElapsedTimer clock_;
    QTimer pacer_;
    std::unique_ptr<QSocketNotifier> writable_;
};

} // namespace sim
