// Device-arrival notifications: watches the directory that holds the port's
// device node (/dev, or the directory of ARDENIX_PORT) and reports every entry
// that appears in it or, as a link, is pointed somewhere new. A serial device
// node, or a link to one, named ttyUSB*, ttyACM*, ttyS* or like the port's own
// path, arrives as a port (device type 3); anything else as another device.
#pragma once

#include "core/types.h"

#include <QFileSystemWatcher>
#include <QString>

#include <functional>
#include <map>

class DeviceWatch {
public:
    static constexpr Integer portDeviceType = 3;
    static constexpr Integer otherDeviceType = 0;

    // deviceType: 3 for a port, 0 for anything else; name: the entry's file name.
    using Handler = std::function<void(Integer deviceType, const QString& name)>;

    // Watches `directory`; `portName` is the file name of the port's own path
    // (empty when there is none to watch for).
    DeviceWatch(const QString& directory, const QString& portName);
    DeviceWatch(const DeviceWatch&) = delete;
    DeviceWatch& operator=(const DeviceWatch&) = delete;

    void SetHandler(Handler handler) { handler_ = std::move(handler); }
    // False when the directory cannot be watched.
    bool Watching() const { return !watcher_.directories().isEmpty(); }
    const QString& Directory() const { return directory_; }

    // The directory to watch for the port: /dev, or the directory of ARDENIX_PORT.
    static QString PortDirectory();
    // The file name of ARDENIX_PORT (empty when it is not set).
    static QString PortFileName();

private:
    void Rescan();
    bool IsPortEntry(const QString& name) const;

    QString directory_;
    QString portName_;
    QFileSystemWatcher watcher_;
    std::map<QString, QString> listing_; // entry name -> identity (inode, link target)
    Handler handler_;
};
