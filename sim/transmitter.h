// Puts the replies on the line. Without pacing every reply is written at
// once; with pacing each byte leaves when it would have left a real serial
// line (11 bits per byte: start, 8 data, parity, stop), scheduled on a timer so
// the event loop never blocks. Paced bytes can also be handed over as a USB
// serial converter hands them to its computer: in packets of up to 62 bytes,
// a packet whenever one is full or the converter's latency timer has run out.
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
    // Paced bytes go in converter packets at least every `ms` milliseconds; 0
    // hands each byte over as soon as it has left the line.
    void SetConverterLatency(int ms);
    void Send(std::string_view bytes);
    std::size_t Queued() const { return queue_.size(); }

private:
    void Pump();
    void WriteNow(std::size_t count);

    ErrorHandler onError_;
    int fd_ = -1;
    bool paced_ = false;
    qint64 byteNs_ = 0;
    qint64 nextDueNs_ = 0;       // when the first queued byte has fully left the line
    qint64 lineFreeNs_ = 0;      // when the last written byte has fully left the line
    qint64 latencyNs_ = 0;       // the converter's latency timer; 0: no converter
    qint64 lastPacketTick_ = -1; // the latency timer's tick of the last packet
    std::string queue_;
    QElapsedTimer clock_;
    QTimer pacer_;
    std::unique_ptr<QSocketNotifier> writable_;
};

} // namespace sim
