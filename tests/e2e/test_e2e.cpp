// End to end: the real ardenix executable against dorvane-sim, both separate
// processes, under an X server, operated through real X input events at the
// controls' pixel positions. Runs under xvfb-run.
#include "tests/e2e/x11driver.h"
#include "tests/support/fakelogind.h"
#include "tests/support/panelplaces.h"
#include "tests/support/privatebus.h"
#include "tests/support/programcopy.h"
#include "tests/support/simprocess.h"

#include <QtTest>

#include <algorithm>

using namespace testsupport;

namespace {

using panelplaces::InputButton;
using panelplaces::LevelButton;
using panelplaces::MuteButton;
using panelplaces::SceneButton;
using panelplaces::TransportKey;
const QString panelTitle = panelplaces::title;
const QSize panelSize = panelplaces::size;

const QPoint transportGap(100, 169); // on Image1, below the transport keys
// The face's free strip at the bottom: the link's state while it is not online.
const QRect linkStrip(336, 173, 210, 13);
const QPoint faderOrigin[2] = {{329, 58}, {472, 58}};
const QRect overGainLamp[2] = {{265, 58, 31, 23}, {409, 57, 31, 24}};

// The byte the transport key k sends while held.
const char* const transportCode[7] = {"38", "37", "33", "35", "31", "34", "32"};

QString Hex(int byte) {
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT
    SimProcess sim;
    PanelProcess panel;
    XWindow window;

    QPoint At(QPoint client) const { return window.geometry.topLeft() + client; }

    // The index of the first log line from `from` on that matches, waiting up
    // to timeoutMs for it; -1 when none came.
    int WaitForLog(const QRegularExpression& pattern, qsizetype from, int timeoutMs) {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            for (qsizetype i = from; i < sim.Log().size(); ++i) {
                if (pattern.match(sim.Log()[i].what).hasMatch()) {
                    return static_cast<int>(i);
                }
            }
            if (clock.elapsed() >= timeoutMs) {
                return -1;
            }
            QTest::qWait(20);
        }
    }
    QJsonObject State() {
        return QJsonDocument::fromJson(sim.Command(QStringLiteral("state")).toUtf8()).object();
    }
    int LogSize() const { return static_cast<int>(sim.Log().size()); }

    // The frames received since log line `from` ("CSEL 31", "RAST", ...).
    QStringList FramesSince(qsizetype from) const {
        QStringList frames;
        for (const SimLogLine& line : sim.Frames(from)) {
            frames << line.what.mid(3);
        }
        return frames;
    }

    // The frames other than status polls received since log line `from`.
    QStringList CommandsSince(int from) {
        QStringList frames = FramesSince(from);
        frames.removeIf([](const QString& f) { return f == QLatin1String("RAST"); });
        // A frame that went out again (the reply timer's retransmission) counts once.
        frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
        return frames;
    }

    // Lit segments of level bar m on the screen.
    int LitSegments(const QImage& screen, int m) {
        int lit = 0;
        const QPoint origin = window.geometry.topLeft() + faderOrigin[m];
        for (int y = 0; y <= 58; y += 2) {
            if (screen.pixel(origin.x() + 7, origin.y() + y) == qRgb(255, 252, 6)) {
                ++lit;
            }
        }
        return lit;
    }

    static int Brightness(const QImage& screen, const QRect& r) {
        qint64 sum = 0;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                const QRgb c = screen.pixel(x, y);
                sum += qRed(c) + qGreen(c) + qBlue(c);
            }
        }
        return static_cast<int>(sum / (r.width() * r.height()));
    }

    // Waits until the level bar m shows `level` lit segments.
    bool WaitForLevel(int m, int level, int timeoutMs) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            if (LitSegments(Screenshot(), m) == level) {
                return true;
            }
            QTest::qWait(40);
        }
        return false;
    }

    // Presses and releases at `p` (held for holdMs) and returns the commands sent.
    QStringList Operate(QPoint p, int holdMs, int settleMs = 400) {
        const int from = LogSize();
        MouseDown(At(p));
        QTest::qWait(holdMs);
        MouseUp();
        QTest::qWait(settleMs);
        return CommandsSince(from);
    }

    XWindow WaitForMessageBox(int timeoutMs) { return WaitForMessageBoxOf(panel, timeoutMs); }
    static XWindow WaitForMessageBoxOf(const PanelProcess& process, int timeoutMs) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            for (const XWindow& w : FindWindows(panelTitle, process.Pid())) {
                if (w.geometry.size() != panelSize) {
                    return w;
                }
            }
            QTest::qWait(50);
        }
        return {};
    }

    void StartPanel(const QStringList& args = {}) {
        QVERIFY(panel.Start(sim.LinkPath(), args));
        window = WaitForWindow(panelTitle, panelSize, 20000, panel.Pid());
        QVERIFY2(!window.id.isEmpty(), "the panel window did not appear");
    }

    // The first scene button whose scene the mixer has not recalled: a press
    // of the recalled one sends nothing.
    int FirstSceneNotRecalled() {
        const QJsonObject state = State();
        const QJsonArray sceneSlots = state.value(QStringLiteral("sceneSlots")).toArray();
        int first = 0;
        while (first < 3 &&
               sceneSlots[first].toInt() == state.value(QStringLiteral("recall")).toInt()) {
            ++first;
        }
        return first;
    }

    // The panel running and online: started first when a case runs alone.
    void EnsureOnline() {
        if (panel.Running()) {
            return;
        }
        const int from = LogSize();
        StartPanel();
        QVERIFY(WaitForLog(QRegularExpression(QStringLiteral("rx RSCI")), from, 10000) >= 0);
        QVERIFY(WaitForLog(QRegularExpression(QStringLiteral("rx RAST$")), LogSize(), 3000) >= 0);
    }

    // The strip where the panel shows the link's state, as the screen shows it.
    QImage LinkStrip() {
        return Screenshot().copy(linkStrip.translated(window.geometry.topLeft()));
    }

    // The pointer off the panel, and the tooltip it may have opened closed,
    // so that nothing but the panel draws over the strip.
    void ParkPointer() {
        MouseMove(window.geometry.topLeft() +
                  QPoint(panelSize.width() + 40, panelSize.height() + 40));
        QTest::qWait(500);
    }

    // Holds the key (xdotool's name) down for holdMs, as real key events to
    // the focused window, and returns the frames sent: once `expected` came,
    // and whatever more came within settleMs after them. A retransmission
    // counts once, as for the mouse: a repeated press or release of the key
    // shows as the other frame in between.
    QStringList OperateKey(const QString& key, int holdMs, int expected, int settleMs = 120) {
        const int from = LogSize();
        XDo({QStringLiteral("keydown"), key});
        QTest::qWait(holdMs);
        XDo({QStringLiteral("keyup"), key});
        QElapsedTimer clock;
        clock.start();
        while (CommandsSince(from).size() < expected && clock.elapsed() < 3000) {
            QTest::qWait(10);
        }
        QTest::qWait(settleMs);
        return CommandsSince(from);
    }

    // True when holding the key for holdMs sends exactly `expected`; says
    // what was sent otherwise.
    bool KeySends(const QString& key, int holdMs, const QStringList& expected, int settleMs = 120) {
        const int from = LogSize();
        const QStringList sent =
            OperateKey(key, holdMs, static_cast<int>(expected.size()), settleMs);
        if (sent != expected) {
            qWarning("key %s held %d ms sent %s, not %s; the mixer's log:\n%s", qPrintable(key),
                     holdMs, qPrintable(sent.join(QLatin1Char('|'))),
                     qPrintable(expected.join(QLatin1Char('|'))), qPrintable(sim.LogText(from)));
        }
        return sent == expected;
    }

private slots:
    // A case that failed may leave message 1 open or the mixer faulty: the
    // next case starts from a mixer without faults and a panel online again.
    void cleanup() {
        if (!QTest::currentTestFailed() || !panel.Running()) {
            return;
        }
        for (const char* command : {"silent off", "nak 0", "plug"}) {
            sim.Command(QString::fromLatin1(command));
        }
        for (int i = 0; i < 3; ++i) {
            const XWindow box = WaitForMessageBox(2000);
            if (box.id.isEmpty()) {
                break;
            }
            PressReturn(box);
        }
        WaitForLog(QRegularExpression(QStringLiteral("rx RAST$")), LogSize(), 8000);
    }

    void initTestCase() {
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "run under xvfb-run");
        QVERIFY(sim.Start());
        QCOMPARE(sim.Command(QStringLiteral("set level A 20")).left(2), QStringLiteral("ok"));
        QCOMPARE(sim.Command(QStringLiteral("set level B 6")).left(2), QStringLiteral("ok"));
        QCOMPARE(sim.Command(QStringLiteral("set input 2")).left(2), QStringLiteral("ok"));
    }

    void startupReadsAndMirrorsTheMixer() {
        if (panel.Running()) { // run after another case: start anew
            panel.Stop();
        }
        const int from = LogSize();
        StartPanel();
        // The full status read, in order, then polling.
        QVERIFY(WaitForLog(QRegularExpression(QStringLiteral("rx RSCI")), from, 10000) >= 0);
        QVERIFY(WaitForLog(QRegularExpression(QStringLiteral("rx RAST$")), LogSize(), 3000) >= 0);
        QStringList frames = FramesSince(from);
        while (!frames.isEmpty() && frames.first() == QLatin1String("RAST")) {
            frames.removeFirst(); // the first contact
        }
        const QStringList order = {"RIM1 30", "RIM2 30", "RIM3 30", "RIM4 30", "RIM5 30", "RIM6 30",
                                   "RIL3 30", "RIL4 30", "RSIO",    "RGFA 30", "RGFB 30", "RRSA"};
        QVERIFY2(frames.size() >= 16, qPrintable(frames.join(QLatin1Char('|'))));
        for (int i = 0; i < order.size(); ++i) {
            QCOMPARE(frames[i], order[i]);
        }
        const QJsonObject state = State();
        const QJsonArray sceneSlots = state.value(QStringLiteral("sceneSlots")).toArray();
        for (int k = 0; k < 4; ++k) {
            QCOMPARE(frames[12 + k], QStringLiteral("RSCI ") + Hex(sceneSlots[k].toInt()));
        }
        QVERIFY(WaitForLevel(0, 20, 3000));
        QVERIFY(WaitForLevel(1, 6, 3000));
    }

    void everyControlSendsItsFrame() {
        EnsureOnline();
        // Inputs: the selected one (input 2) sends nothing, every other one CSEL.
        QCOMPARE(Operate(InputButton(1), 50), QStringList());
        for (int k : {0, 2, 3, 4, 5, 1}) {
            QCOMPARE(Operate(InputButton(k), 50),
                     QStringList{QStringLiteral("CSEL ") + Hex(0x31 + k)});
        }
        // Transport keys: held, then released.
        for (int k = 0; k < 7; ++k) {
            const QStringList sent = Operate(TransportKey(k), 150);
            QVERIFY2(sent.size() == 2, qPrintable(QString::number(k) + QLatin1Char(' ') +
                                                  sent.join(QLatin1Char('|'))));
            QCOMPARE(sent,
                     (QStringList{QStringLiteral("CRCS 38 ") + QLatin1String(transportCode[k]),
                                  QStringLiteral("CRCS 38 30")}));
        }
        // Between the keys: a beep and nothing on the wire.
        QCOMPARE(Operate(transportGap, 50), QStringList());
        // Mutes: on, then off again.
        for (int m = 0; m < 2; ++m) {
            const QString master = Hex(0x40 + m);
            QCOMPARE(Operate(MuteButton(m), 50),
                     QStringList{QStringLiteral("CMUT ") + master + QStringLiteral(" 41")});
            QCOMPARE(Operate(MuteButton(m), 50),
                     QStringList{QStringLiteral("CMUT ") + master + QStringLiteral(" 40")});
        }
        // Level buttons: start the motion when pressed, stop it when released.
        for (int i = 0; i < 4; ++i) {
            const QString master = Hex(0x40 + i / 2);
            const QString start =
                (i % 2 == 0 ? QStringLiteral("CLV+ ") : QStringLiteral("CLV- ")) + master;
            QCOMPARE(Operate(LevelButton(i), 250),
                     (QStringList{start, QStringLiteral("CLVS ") + master}));
        }
        // Scene buttons: each recalls the scene on it (with the wait of about 750 ms).
        // (A press of the scene that is already recalled sends nothing: start
        // with another one.)
        const QJsonArray sceneSlots = State().value(QStringLiteral("sceneSlots")).toArray();
        const int first = FirstSceneNotRecalled();
        for (int i = 0; i < 4; ++i) {
            const int k = (first + i) % 4;
            QCOMPARE(Operate(SceneButton(k), 50, 900),
                     QStringList{QStringLiteral("CRCL ") + Hex(sceneSlots[k].toInt())});
        }
        // A muted master's level buttons lie under their overlays: a click only beeps.
        QCOMPARE(Operate(MuteButton(1), 50).size(), 1);
        QCOMPARE(Operate(LevelButton(2), 200), QStringList());
        QCOMPARE(Operate(LevelButton(3), 200), QStringList());
        QCOMPARE(Operate(MuteButton(1), 50).size(), 1);
    }

    // Every key of the panel's key map sends its control's frames, as the
    // mouse does; a key held longer than the X server's auto-repeat delay
    // (660 ms) sends its press and its release once each; a muted master's
    // level keys send nothing.
    void keysWorkTheirControls() {
        EnsureOnline();
        for (const char* command :
             {"set mute A off", "set mute B off", "set level A 15", "set level B 15"}) {
            QCOMPARE(sim.Command(QString::fromLatin1(command)).left(2), QStringLiteral("ok"));
        }
        QVERIFY(WaitForLevel(0, 15, 3000));
        QVERIFY(WaitForLevel(1, 15, 3000));
        XDo({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window.id});
        QTest::qWait(200);

        // Inputs 1..6: the selected one sends nothing, every other one CSEL.
        const int selected = State().value(QStringLiteral("selectedInput")).toInt();
        QList<int> inputs;
        if (selected > 0) {
            QVERIFY(KeySends(QString::number(selected), 50, {}, 300));
        }
        for (int k = 1; k <= 6; ++k) {
            if (k != selected) {
                inputs << k;
            }
        }
        if (selected > 0) {
            inputs << selected;
        }
        for (int k : inputs) {
            QVERIFY(KeySends(QString::number(k), 50, {QStringLiteral("CSEL ") + Hex(0x30 + k)}));
        }
        // Transport keys Q..U, held; T held through the auto-repeat.
        const QStringList transportKeys{"q", "w", "e", "r", "t", "y", "u"};
        for (int k = 0; k < 7; ++k) {
            QVERIFY(KeySends(transportKeys[k], k == 4 ? 800 : 100,
                             {QStringLiteral("CRCS 38 ") + QLatin1String(transportCode[k]),
                              QStringLiteral("CRCS 38 30")}));
        }
        // Mutes: M and N, on and off again.
        for (int m = 0; m < 2; ++m) {
            const QString key = m == 0 ? QStringLiteral("m") : QStringLiteral("n");
            const QString master = Hex(0x40 + m);
            QVERIFY(KeySends(key, 50, {QStringLiteral("CMUT ") + master + QStringLiteral(" 41")}));
            QVERIFY(KeySends(key, 50, {QStringLiteral("CMUT ") + master + QStringLiteral(" 40")}));
        }
        // Levels: Up and Down for MASTER A, Page Up and Page Down for MASTER B;
        // Down held through the auto-repeat.
        const QStringList levelKeys{"Up", "Down", "Prior", "Next"};
        for (int i = 0; i < 4; ++i) {
            const QString master = Hex(0x40 + i / 2);
            const QString start =
                (i % 2 == 0 ? QStringLiteral("CLV+ ") : QStringLiteral("CLV- ")) + master;
            QVERIFY(KeySends(levelKeys[i], i == 1 ? 800 : 150,
                             {start, QStringLiteral("CLVS ") + master}));
        }
        // Scenes F1..F4, starting with one that is not recalled; each press
        // waits about 750 ms for the mixer's recall.
        const QJsonArray sceneSlots = State().value(QStringLiteral("sceneSlots")).toArray();
        const int first = FirstSceneNotRecalled();
        for (int i = 0; i < 4; ++i) {
            const int k = (first + i) % 4;
            QVERIFY(KeySends(QStringLiteral("F%1").arg(k + 1), 50,
                             {QStringLiteral("CRCL ") + Hex(sceneSlots[k].toInt())}, 800));
        }
        // MASTER B muted: its level keys send nothing, held through the
        // auto-repeat or not.
        QCOMPARE(OperateKey(QStringLiteral("n"), 50, 1).size(), 1);
        QVERIFY(KeySends(QStringLiteral("Prior"), 800, {}));
        QVERIFY(KeySends(QStringLiteral("Next"), 100, {}, 300));
        QCOMPARE(OperateKey(QStringLiteral("n"), 50, 1).size(), 1);
    }

    void mixerChangesAppearWithinTwoPolls() {
        EnsureOnline();
        // A level set on the mixer shows on the bar.
        QCOMPARE(sim.Command(QStringLiteral("set level A 9")).left(2), QStringLiteral("ok"));
        QVERIFY(WaitForLevel(0, 9, 2500));
        // The over-gain lamp lights up and goes out again.
        QCOMPARE(sim.Command(QStringLiteral("set overgain A off")).left(2), QStringLiteral("ok"));
        QTest::qWait(600);
        const int off =
            Brightness(Screenshot(), overGainLamp[0].translated(window.geometry.topLeft()));
        QCOMPARE(sim.Command(QStringLiteral("set overgain A on")).left(2), QStringLiteral("ok"));
        QTest::qWait(600);
        const int on =
            Brightness(Screenshot(), overGainLamp[0].translated(window.geometry.topLeft()));
        QVERIFY2(on > off + 10, qPrintable(QStringLiteral("lamp on %1, off %2").arg(on).arg(off)));
        // Muting and the input chosen on the mixer: the next action shows the
        // panel knows (unmute is sent; the selected input sends nothing).
        QCOMPARE(sim.Command(QStringLiteral("set mute A on")).left(2), QStringLiteral("ok"));
        QCOMPARE(sim.Command(QStringLiteral("set input 4")).left(2), QStringLiteral("ok"));
        QTest::qWait(600);
        QCOMPARE(Operate(MuteButton(0), 50), QStringList{QStringLiteral("CMUT 40 40")});
        QCOMPARE(Operate(InputButton(3), 50), QStringList());
    }

    void recoversFromASilentMixer() {
        EnsureOnline();
        ParkPointer();
        const QImage online = LinkStrip();
        const int from = LogSize();
        QCOMPARE(sim.Command(QStringLiteral("silent on")).left(2), QStringLiteral("ok"));
        const XWindow box = WaitForMessageBox(6000);
        QVERIFY2(!box.id.isEmpty(), "message 1 did not appear");
        // Told on the panel too, where the message does not cover it.
        QVERIFY(!box.geometry.intersects(linkStrip.translated(window.geometry.topLeft())));
        QTRY_VERIFY_WITH_TIMEOUT(LinkStrip() != online, 1000);
        // Three transmissions of the unanswered poll, 500 ms apart.
        QList<qint64> stamps;
        for (qsizetype i = from; i + 1 < sim.Log().size(); ++i) {
            if (sim.Log()[i].what == QLatin1String("rx RAST") &&
                sim.Log()[i + 1].what.startsWith(QLatin1String("tx none"))) {
                stamps << sim.Log()[i].ms;
            }
        }
        QVERIFY2(stamps.size() >= 3, qPrintable(QString::number(stamps.size())));
        QVERIFY(qAbs(stamps[1] - stamps[0] - 500) < 300);
        QVERIFY(qAbs(stamps[2] - stamps[1] - 500) < 300);
        QCOMPARE(sim.Command(QStringLiteral("silent off")).left(2), QStringLiteral("ok"));
        const int beforeClose = LogSize();
        PressReturn(box);
        // The reopen timer brings the link back: a first contact and a full read.
        QVERIFY(WaitForLog(QRegularExpression(QStringLiteral("rx RIL4")), beforeClose, 8000) >= 0);
        QVERIFY(WaitForLog(QRegularExpression(QStringLiteral("rx RAST$")), LogSize(), 3000) >= 0);
        // Online again: the strip is the face's own.
        QTRY_VERIFY_WITH_TIMEOUT(LinkStrip() == online, 2000);
    }

    void retransmitsAfterNakGarbageTruncateAndRange() {
        EnsureOnline();
        // One refusal: the frame goes out again on the next tick and the link stays up.
        for (const char* fault : {"nak 1", "truncate", "range"}) {
            QCOMPARE(sim.Command(QString::fromLatin1(fault)).left(2), QStringLiteral("ok"));
            const int from = LogSize();
            QVERIFY(WaitForLog(QRegularExpression(QStringLiteral("fault")), from, 3000) >= 0);
            QTest::qWait(1200);
            QVERIFY2(WaitForMessageBox(100).id.isEmpty(), fault);
            QVERIFY(WaitForLog(QRegularExpression(QStringLiteral("tx A \\+74")), LogSize(), 2000) >=
                    0);
        }
        // Stray bytes before the acknowledgement are dropped: no retransmission needed.
        QCOMPARE(sim.Command(QStringLiteral("garbage")).left(2), QStringLiteral("ok"));
        QTest::qWait(800);
        QVERIFY(WaitForMessageBox(100).id.isEmpty());
    }

    void timesOutOnRefusalsOnly() {
        EnsureOnline();
        // Refusals only: time-out, message 1, and back online after it.
        QCOMPARE(sim.Command(QStringLiteral("nak 1000")).left(2), QStringLiteral("ok"));
        const XWindow box = WaitForMessageBox(6000);
        QVERIFY(!box.id.isEmpty());
        QCOMPARE(sim.Command(QStringLiteral("nak 0")).left(2), QStringLiteral("ok"));
        const int beforeClose = LogSize();
        PressReturn(box);
        QVERIFY(WaitForLog(QRegularExpression(QStringLiteral("rx RIL4")), beforeClose, 8000) >= 0);
    }

    void survivesUnplugAndPlug() {
        EnsureOnline();
        ParkPointer();
        const QImage online = LinkStrip();
        QCOMPARE(sim.Command(QStringLiteral("unplug")).left(2), QStringLiteral("ok"));
        // The next poll finds the line gone: the panel says so at once.
        QTRY_VERIFY_WITH_TIMEOUT(LinkStrip() != online, 1000);
        const XWindow box = WaitForMessageBox(4000);
        QVERIFY2(!box.id.isEmpty(), "message 1 did not appear after the unplug");
        PressReturn(box);
        QTest::qWait(1500);
        QVERIFY(LinkStrip() != online); // the message closed, the cable still out
        const int before = LogSize();
        QCOMPARE(sim.Command(QStringLiteral("plug")).left(2), QStringLiteral("ok"));
        QVERIFY(WaitForLog(QRegularExpression(QStringLiteral("rx RIL4")), before, 8000) >= 0);
        QVERIFY(WaitForLog(QRegularExpression(QStringLiteral("rx RAST$")), LogSize(), 3000) >= 0);
        QTRY_VERIFY_WITH_TIMEOUT(LinkStrip() == online, 2000);
        // Online again: a press goes through.
        QCOMPARE(Operate(InputButton(0), 50), QStringList{QStringLiteral("CSEL 31")});
    }

    void closingThePanelEndsTheProgram() {
        EnsureOnline();
        QVERIFY(CloseWindow(window));
        QVERIFY(panel.WaitForExit(5000));
        QCOMPARE(panel.ExitCode(), 0);
    }

    void twoWordsShowTheFaderNoticeFirst() {
        PanelProcess twoWords;
        MouseMove({0, 0});
        QTest::qWait(500); // the traffic of the program before has ended
        const int from = LogSize();
        QVERIFY(twoWords.Start(sim.LinkPath(), {QStringLiteral("d"), QStringLiteral("x")}));
        const XWindow box = WaitForMessageBoxOf(twoWords, 10000);
        QVERIFY2(!box.id.isEmpty(), "the fader notice did not appear");
        QTest::qWait(500);
        QVERIFY2(FramesSince(from).isEmpty(), qPrintable(FramesSince(from).join(QLatin1Char(
                                                  '|')))); // nothing sent before it is closed
        PressReturn(box);
        QVERIFY(!WaitForWindow(panelTitle, panelSize, 20000, twoWords.Pid()).id.isEmpty());
        QVERIFY(WaitForLog(QRegularExpression(QStringLiteral("rx RAST$")), from, 3000) >= 0);
        twoWords.Stop();
    }
    void debugModeShowsBothDebugWindowsAndOkEnds() {
        PanelProcess debug;
        QVERIFY(debug.Start(sim.LinkPath(), {QStringLiteral("d")}));
        const XWindow comm =
            WaitForWindow(QStringLiteral("^\u901a\u4fe1\\[Dorvane\\]$"), {}, 20000, debug.Pid());
        QVERIFY2(!comm.id.isEmpty(), "the communication window did not appear");
        QVERIFY(!WaitForWindow(panelTitle, panelSize, 20000, debug.Pid()).id.isEmpty());
        // The panel, the communication window and the debug window.
        QTRY_VERIFY_WITH_TIMEOUT(FindWindows(QString(), debug.Pid()).size() >= 3, 10000);
        // "OK" ends the program: the button sits at the bottom right of the window.
        XDo({QStringLiteral("windowraise"), comm.id});
        QTest::qWait(200);
        Click(comm.geometry.topLeft() + QPoint((6870 + 1215 / 2) / 15, (5640 + 375 / 2) / 15));
        QVERIFY(debug.WaitForExit(5000));
    }

    // A settings file written while the mixer was connected says that it
    // answers. Without a port that counts for nothing: after message 1 the
    // panel appears, and a stop signal ends the program.
    void settingsFileSayingTheMixerAnswersWithoutAPort() {
        ProgramCopy program;
        QVERIFY(program.Valid());
        // The system block of a file written while the mixer answered.
        QVERIFY(program.WriteSettings(QByteArray::fromHex("0100FFFFFFFF00000000")));
        QTemporaryDir nowhere;
        PanelProcess lonely;
        MouseMove({0, 0});
        QVERIFY(lonely.Start(nowhere.filePath(QStringLiteral("none")), {}, program.Executable()));
        const XWindow box = WaitForMessageBoxOf(lonely, 10000);
        QVERIFY2(!box.id.isEmpty(), "message 1 did not appear");
        PressReturn(box);
        QVERIFY2(!WaitForWindow(panelTitle, panelSize, 10000, lonely.Pid()).id.isEmpty(),
                 "the panel did not appear after message 1");
        lonely.Signal(SIGTERM);
        QVERIFY(lonely.WaitForExit(5000));
        QCOMPARE(lonely.ExitStatus(), QProcess::NormalExit);
        QCOMPARE(lonely.ExitCode(), 0);
    }

    // Suspend and resume told by logind on a private bus standing in for the
    // system bus: the panel closes the link and gives its sleep lock back,
    // nothing goes on the line while asleep, and after the resume the link
    // comes back with a first contact and a full read, without a message.
    void suspendAndResumeOverThePrivateBus() {
        PrivateBus bus;
        QVERIFY(bus.Start()); // the panel started below finds this bus as its system bus
        FakeLogind logind;
        QVERIFY(logind.Register());
        panel.Stop(); // the port is this case's own (the panel has been closed in a full run)
        PanelProcess sleeper;
        MouseMove({0, 0});
        QTest::qWait(500); // the traffic of the program before has ended
        int from = LogSize();
        QVERIFY(sleeper.Start(sim.LinkPath()));
        const XWindow shown = WaitForWindow(panelTitle, panelSize, 20000, sleeper.Pid());
        QVERIFY2(!shown.id.isEmpty(), "the panel window did not appear");
        QVERIFY(WaitForLog(QRegularExpression(QStringLiteral("rx RSCI")), from, 10000) >= 0);
        QVERIFY(WaitForLog(QRegularExpression(QStringLiteral("rx RAST$")), LogSize(), 3000) >= 0);
        QTRY_COMPARE_WITH_TIMEOUT(logind.LocksHeld(), 1, 5000);

        QVERIFY(logind.SendPrepareForSleep(true));
        QTRY_COMPARE_WITH_TIMEOUT(logind.LocksHeld(), 0, 5000);
        QTest::qWait(100); // a frame under way may still be logged
        from = LogSize();
        // The reopen timer runs from the suspend on and tries a second later;
        // a real machine is asleep by then, so only the time before counts.
        QTest::qWait(500);
        QVERIFY2(FramesSince(from).isEmpty(), qPrintable(FramesSince(from).join(QLatin1Char('|'))));

        QVERIFY(logind.SendPrepareForSleep(false));
        QVERIFY(WaitForLog(QRegularExpression(QStringLiteral("rx RIL4")), from, 8000) >= 0);
        QVERIFY(WaitForLog(QRegularExpression(QStringLiteral("rx RAST$")), LogSize(), 3000) >= 0);
        QCOMPARE(FramesSince(from).first(), QStringLiteral("RAST")); // the first contact
        QTRY_COMPARE_WITH_TIMEOUT(logind.LocksHeld(), 1, 5000);
        QVERIFY(WaitForMessageBoxOf(sleeper, 500).id.isEmpty()); // a suspend tells the user nothing
        QVERIFY(sleeper.Running());
        sleeper.Stop();
        qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }
};

QTEST_MAIN(TestEndToEnd)
#include "test_e2e.moc"
