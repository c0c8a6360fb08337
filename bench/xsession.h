// An X display for the panel's windows and xdotool to act on them like a
// user: the display of the environment, or a private Xvfb when there is none.
#pragma once

#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

#include <vector>

namespace bench {

class XSession {
public:
    XSession() = default;
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    // Uses $DISPLAY, or starts Xvfb and sets $DISPLAY for the children; false
    // (with the reason in Problem()) when neither works or xdotool is missing.
    bool Open();
    const QString& Problem() const { return problem_; }
    QString Display() const { return display_; }

private:
    QProcess server_;
    QString display_;
    QString problem_;
};

struct XWindow {
    QString id;
    QRect geometry;
};

// xdotool, one call at a time (each takes a few milliseconds).
namespace xdo {
// Runs xdotool with `arguments`; its standard output, or nothing on failure.
QString Run(const QStringList& arguments, bool* ok = nullptr);
// The visible windows whose name matches the regular expression, with their places.
std::vector<XWindow> VisibleWindows(const QString& namePattern);
// Presses and releases the left button at (x, y) of the window's client area.
bool Click(const QString& window, int x, int y);
// Presses, or releases, the left button at (x, y) of the window.
bool ButtonDown(const QString& window, int x, int y);
bool ButtonUp(const QString& window);
// Gives the window the keyboard focus and presses a key there (e.g. "Return").
bool Key(const QString& window, const QString& key);
} // namespace xdo

} // namespace bench
