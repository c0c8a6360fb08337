// Test side of the real program under an X server (Xvfb): starts the ardenix
// executable as a separate process, finds its windows with xdotool, operates
// it with real X input events and reads the screen's pixels.
#pragma once

#include "tests/support/processstop.h"

#include <csignal>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QRect>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <xcb/xcb.h>

#include <cstring>

namespace testsupport {

inline QString BinDir() {
    return qEnvironmentVariable("ARDENIX_BIN_DIR");
}

// Runs xdotool with `args`; its standard output.
inline QString XDo(const QStringList& args, int timeoutMs = 5000) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    p.waitForFinished(timeoutMs);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

struct XWindow {
    QString id;
    QRect geometry;
};

// The visible windows whose title matches `titlePattern` (xdotool's regex).
inline QList<XWindow> FindWindows(const QString& titlePattern, qint64 pid = 0) {
    QStringList args{QStringLiteral("search"), QStringLiteral("--onlyvisible")};
    if (pid > 0) {
        args << QStringLiteral("--pid") << QString::number(pid);
    }
    if (!titlePattern.isEmpty()) {
        args << QStringLiteral("--name") << titlePattern;
    }
    QList<XWindow> windows;
    const QStringList ids = XDo(args).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& id : ids) {
        const QString shell =
            XDo({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id});
        int x = 0, y = 0, w = 0, h = 0;
        for (const QString& line : shell.split(QLatin1Char('\n'))) {
            const QString key = line.section(QLatin1Char('='), 0, 0);
            const int value = line.section(QLatin1Char('='), 1).toInt();
            if (key == QLatin1String("X"))
                x = value;
            if (key == QLatin1String("Y"))
                y = value;
            if (key == QLatin1String("WIDTH"))
                w = value;
            if (key == QLatin1String("HEIGHT"))
                h = value;
        }
        windows.append({id, QRect(x, y, w, h)});
    }
    return windows;
}

// Waits for a visible window with that title and size (any size when empty).
inline XWindow WaitForWindow(const QString& titlePattern, QSize size, int timeoutMs,
                             qint64 pid = 0) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        for (const XWindow& w : FindWindows(titlePattern, pid)) {
            if (size.isEmpty() || w.geometry.size() == size) {
                return w;
            }
        }
        QTest::qWait(50);
    }
    return {};
}

inline void MouseMove(QPoint p) {
    XDo({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
}
inline void MouseDown(QPoint p) {
    MouseMove(p);
    XDo({QStringLiteral("mousedown"), QStringLiteral("1")});
}
inline void MouseUp() {
    XDo({QStringLiteral("mouseup"), QStringLiteral("1")});
}
inline void Click(QPoint p) {
    MouseMove(p);
    XDo({QStringLiteral("click"), QStringLiteral("1")});
}
// Presses Return in a window (closes a message box). The key goes to the
// focused window as a real press and release: sent to a named window, the
// release would fail once the press has closed the box, the server would
// keep the key held, and its auto-repeat would close every later box at once.
inline void PressReturn(const XWindow& w) {
    XDo({QStringLiteral("windowfocus"), QStringLiteral("--sync"), w.id});
    XDo({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QStringLiteral("Return")});
}

// Asks a window to close, as a window manager's close button does
// (WM_DELETE_WINDOW).
inline bool CloseWindow(const XWindow& w) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return false;
    }
    auto atom = [c](const char* name) {
        xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : 0;
        free(r);
        return a;
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = w.id.toUInt();
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    // Checked: the server has taken the event before the connection goes.
    xcb_generic_error_t* error =
        xcb_request_check(c, xcb_send_event_checked(c, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                                                    reinterpret_cast<const char*>(&event)));
    const bool sent = error == nullptr;
    free(error);
    xcb_disconnect(c);
    return sent;
}

// The screen's current content.
inline QImage Screenshot() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32)
                  : QImage();
}

// The ardenix executable as a separate process with its own runtime directory.
class PanelProcess {
public:
    ~PanelProcess() { Stop(); }

    // Starts the panel on `port`; `executable` is another copy of the program
    // (with a program directory of its own), the build's when empty.
    bool Start(const QString& port, const QStringList& args = {},
               const QString& executable = QString()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("ARDENIX_PORT"), port);
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(executable.isEmpty() ? BinDir() + QStringLiteral("/ardenix") : executable,
                       args);
        return process_.waitForStarted(5000);
    }
    void Signal(int signal) const { ::kill(static_cast<pid_t>(process_.processId()), signal); }
    QProcess::ExitStatus ExitStatus() const { return process_.exitStatus(); }
    void Stop() { StopProcess(process_, 3000); }
    bool WaitForExit(int timeoutMs) { return process_.waitForFinished(timeoutMs); }
    bool Running() const { return process_.state() == QProcess::Running; }
    qint64 Pid() const { return process_.processId(); }
    int ExitCode() const { return process_.exitCode(); }

private:
    QTemporaryDir runtime_;
    QProcess process_;
};

} // namespace testsupport
