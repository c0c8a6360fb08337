// The communication window's serial control MSComm1: the port to the
// mixer's USB-serial converter, with the properties and operations the link
// uses (port number, line settings, RTS and DTR, open and close, the receive
// buffer, byte-wise input and output, the receive event) and a liveness probe.
#pragma once

#include "core/types.h"

#include <QByteArray>
#include <QSerialPort>
#include <QString>

#include <functional>

class SerialPort {
public:
    // The receive event's CommEvent: bytes have arrived.
    static constexpr int comEvReceive = 2;
    using OnCommHandler = std::function<void(int commEvent)>;

    SerialPort();
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // The device path of port number n: /dev/ttyUSB<n-1>, or the path in
    // ARDENIX_PORT when that is set, whatever the number. Empty when there is
    // no such port (n < 1 without ARDENIX_PORT).
    static QString DevicePath(Integer portNumber);

    void SetCommPort(Integer portNumber) { commPort_ = portNumber; }
    Integer CommPort() const { return commPort_; }

    // "baud,parity,data,stop", e.g. "38400,O,8,1". False for a text that does
    // not describe line settings; nothing is changed then.
    bool SetSettings(const QString& settings);
    QString Settings() const { return settings_; }

    // Held while the port is open; applied right after the opening.
    bool SetRTSEnable(bool enable);
    bool SetDTREnable(bool enable);

    void SetInputLen(int length) { inputLen_ = length; }
    // The receive event is raised when at least this many bytes wait; 0 raises none.
    void SetRThreshold(int threshold) { rThreshold_ = threshold; }

    // PortOpen = True: opens the port with the settings made. False when it
    // fails; one line on standard error then says which path and why.
    // PortOpen = False: closes it (nothing happens when it is closed).
    bool SetPortOpen(bool open);
    bool PortOpen() const { return port_.isOpen(); }

    // InBufferCount = 0: discards every received byte not yet read.
    bool DiscardInput();
    // InBufferCount: received bytes not yet read (0 when closed).
    qint64 InBufferCount() const;
    // Input: the next InputLen received bytes (fewer when fewer wait).
    QByteArray Input();
    // Output of one byte, pushed to the device at once. False when it failed.
    bool Output(Byte value);
    // The operating system's handle of the open port, -1 when not open.
    int CommID() const;

    // True while the device behind the open port still answers: false when
    // the port is closed, or the terminal has been hung up (unplugged
    // converter, pseudo-terminal whose other end closed).
    bool IsAlive() const;

    // The receive event (the window's MSComm1_OnComm).
    void SetOnComm(OnCommHandler handler) { onComm_ = std::move(handler); }

    // The line speed as set on the open port, for checks.
    qint32 BaudRate() const { return port_.baudRate(); }

private:
    void HandleError(QSerialPort::SerialPortError error);
    void HandleReadyRead();
    QString OpenFailureReason(const QString& path) const;

    QSerialPort port_;
    Integer commPort_ = 1;
    QString settings_ = QStringLiteral("9600,N,8,1");
    qint32 baud_ = 9600;
    QSerialPort::Parity parity_ = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits_ = QSerialPort::Data8;
    QSerialPort::StopBits stopBits_ = QSerialPort::OneStop;
    bool rtsEnable_ = false;
    bool dtrEnable_ = false;
    int inputLen_ = 0;
    int rThreshold_ = 0;
    bool closeQueued_ = false; // a close after a hang-up waits in the event loop
    int openCount_ = 0;        // openings so far: a queued close belongs to one of them
    OnCommHandler onComm_;
};
