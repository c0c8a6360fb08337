// ardenix-traffic-session: one scripted session of the real panel against the
// simulated mixer, on an X display (a private Xvfb when there is none): the
// start-up read, every control pressed, changes made at the mixer, each fault
// (silent, nak, garbage, truncate, range, unplug and plug) and a suspend and
// resume told by a logind on a private bus. It prints the frames and replies
// that the simulator saw, one a line, without time stamps; runs of unchanged
// status polls count as one. Two builds that behave alike print the same.
#include "bench/eventwait.h"
#include "bench/options.h"
#include "bench/panelrunner.h"
#include "bench/simrunner.h"
#include "bench/xsession.h"
#include "tests/support/fakelogind.h"
#include "tests/support/panelplaces.h"
#include "tests/support/privatebus.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <cstdio>

using namespace bench;

namespace {

using namespace panelplaces;
const QString& panelTitle = title;
const QSize& panelSize = size;

class Session {
public:
    bool Run();
    QStringList Traffic() const;
    QString failure;

private:
    bool Fail(const QString& why) {
        failure = why;
        return false;
    }
    // Waits until the simulator's log, from line `from` on, has a line that matches.
    bool WaitForLog(const QString& pattern, std::size_t from, int timeoutMs = 8000) {
        const QRegularExpression re(pattern);
        return PumpUntil(
            [&] {
                for (std::size_t i = from; i < sim_.Log().size(); ++i) {
                    if (re.match(sim_.Log()[i].what).hasMatch()) {
                        return true;
                    }
                }
                return false;
            },
            timeoutMs);
    }
    // Waits for the full read's last request and two polls after it.
    bool WaitForFullRead(std::size_t from) {
        return WaitForLog(QStringLiteral("^rx RSCI"), from) && Settle(2);
    }
    // Waits until `polls` more status polls were answered.
    bool Settle(int polls) {
        const std::size_t from = sim_.Log().size();
        return PumpUntil(
            [&] {
                int answered = 0;
                for (std::size_t i = from; i < sim_.Log().size(); ++i) {
                    answered += sim_.Log()[i].IsStatusReply() ? 1 : 0;
                }
                return answered >= polls;
            },
            8000);
    }
    std::optional<XWindow> MessageBox(int timeoutMs) {
        std::optional<XWindow> box;
        PumpUntil(
            [&] {
                for (const XWindow& w : xdo::VisibleWindows(panelTitle)) {
                    if (w.geometry.size() != panelSize) {
                        box = w;
                    }
                }
                return box.has_value();
            },
            timeoutMs, 50);
        return box;
    }
    bool CloseMessageBox() {
        const std::optional<XWindow> box = MessageBox(8000);
        if (!box) {
            return false;
        }
        xdo::Run({QStringLiteral("windowfocus"), QStringLiteral("--sync"), box->id});
        xdo::Run({QStringLiteral("key"), QStringLiteral("Return")});
        return true;
    }
    // A real press and release through the X server's test extension.
    void Press(QPoint p, int holdMs) {
        const QPoint at = window_.geometry.topLeft() + p;
        xdo::Run({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                  QStringLiteral("mousedown"), QStringLiteral("1")});
        Pump(holdMs);
        xdo::Run({QStringLiteral("mouseup"), QStringLiteral("1")});
        Pump(500); // the next press is no double click
    }
    bool Act(const QString& command) {
        return sim_.Command(command).startsWith(QLatin1String("ok"));
    }

    XSession x_;
    SimRunner sim_;
    PanelRunner panel_;
    XWindow window_;
};

bool Session::Run() {
    if (!x_.Open()) {
        return Fail(x_.Problem());
    }
    PrivateBus bus;
    FakeLogind logind;
    if (!bus.Start() || !logind.Register()) {
        return Fail(QStringLiteral("no private bus for the power notifications"));
    }
    if (!sim_.Start(BinDirectory())) {
        return Fail(QStringLiteral("the simulator did not start"));
    }
    Act(QStringLiteral("set level A 20"));
    Act(QStringLiteral("set input 2"));
    if (!panel_.Start(BinDirectory(), sim_.LinkPath(), QStringLiteral("xcb"))) {
        return Fail(QStringLiteral("the panel did not start"));
    }
    if (!WaitForFullRead(0)) {
        return Fail(QStringLiteral("no full read at start-up"));
    }
    PumpUntil(
        [&] {
            for (const XWindow& w : xdo::VisibleWindows(panelTitle)) {
                if (w.geometry.size() == panelSize) {
                    window_ = w;
                }
            }
            return !window_.id.isEmpty();
        },
        10000, 50);
    if (window_.id.isEmpty()) {
        return Fail(QStringLiteral("the panel window did not appear"));
    }

    // Every control.
    for (int k : {0, 2, 3, 4, 5, 1}) {
        Press(InputButton(k), 50);
        Settle(1);
    }
    for (int k = 0; k < 7; ++k) {
        Press(TransportKey(k), 150);
        Settle(1);
    }
    for (int m = 0; m < 2; ++m) {
        for (int twice = 0; twice < 2; ++twice) {
            Press(MuteButton(m), 50);
            Settle(1);
        }
    }
    for (int i = 0; i < 4; ++i) {
        Press(LevelButton(i), 250);
        Settle(2);
    }
    for (int k = 0; k < 4; ++k) {
        Press(SceneButton(k), 50);
        Pump(900);
        Settle(1);
    }

    // Changes made at the mixer, then a press that shows the panel knows them.
    Act(QStringLiteral("set mute A on"));
    Act(QStringLiteral("set level B 12"));
    Act(QStringLiteral("set input 3"));
    Settle(3);
    Press(MuteButton(0), 50);
    Settle(2);

    // Faults the link survives by retransmission.
    for (const char* fault : {"nak 1", "garbage", "truncate", "range"}) {
        Act(QString::fromLatin1(fault));
        Pump(1200);
        Settle(2);
    }

    // A silent mixer: time-out, message 1; the mixer speaks again before the
    // message is closed, and the reopen timer brings the link back.
    std::size_t from = sim_.Log().size();
    Act(QStringLiteral("silent on"));
    if (!MessageBox(6000)) {
        return Fail(QStringLiteral("no message 1 for the silent mixer"));
    }
    Act(QStringLiteral("silent off"));
    CloseMessageBox();
    if (!WaitForFullRead(from)) {
        return Fail(QStringLiteral("no reconnection after the silent mixer"));
    }

    // The cable pulled and plugged back.
    from = sim_.Log().size();
    Act(QStringLiteral("unplug"));
    if (!MessageBox(4000)) {
        return Fail(QStringLiteral("no message 1 after the unplug"));
    }
    Act(QStringLiteral("plug"));
    if (!WaitForFullRead(from)) {
        return Fail(QStringLiteral("no reconnection after the plug"));
    }
    CloseMessageBox();
    Settle(2);

    // A suspend, the reopening, the resume.
    from = sim_.Log().size();
    logind.SendPrepareForSleep(true);
    if (!WaitForFullRead(from)) {
        return Fail(QStringLiteral("no reconnection after the suspend"));
    }
    logind.SendPrepareForSleep(false);
    Settle(3);
    panel_.Stop();
    Pump(200);
    return true;
}

// The frames and replies, without time stamps; a run of answered status polls
// counts as one.
QStringList Session::Traffic() const {
    QStringList lines;
    bool lastWasPoll = false;
    const std::vector<SimLine>& log = sim_.Log();
    for (std::size_t i = 0; i < log.size(); ++i) {
        const bool poll = log[i].what == QLatin1String("rx RAST") && i + 1 < log.size() &&
                          log[i + 1].IsStatusReply();
        if (poll) {
            if (!lastWasPoll) {
                lines << log[i].what << log[i + 1].what;
            }
            lastWasPoll = true;
            ++i;
            continue;
        }
        if (log[i].IsFrame() || log[i].IsReply()) {
            lines << log[i].what;
            lastWasPoll = false;
        }
    }
    return lines;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    Session session;
    if (!session.Run()) {
        std::fprintf(stderr, "ardenix-traffic-session: %s\n", qPrintable(session.failure));
        return 1;
    }
    for (const QString& line : session.Traffic()) {
        std::printf("%s\n", qPrintable(line));
    }
    return 0;
}
