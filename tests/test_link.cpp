// The serial link over a real pseudo-terminal: the test is the mixer on the
// master side, the program opens the slave as its port.
#include "core/hostfacts.h"
#include "core/state.h"
#include "serial/serial.h"
#include "tests/support/linecalls.h"
#include "tests/support/linkrecord.h"
#include "tests/support/ptypeer.h"
#include "tests/support/stderrcapture.h"

#include "connection/supervisor.h"
#include "protocol/protocol.h"

#include <QtTest>

#include <cstdio>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

class TestLink : public QObject {
    Q_OBJECT
    QList<MessageKind> shownMessages; // what the code under test told the user
    std::unique_ptr<PtyPeer> mixer;
    std::unique_ptr<connection::Supervisor> supervisor;
    QList<LinkResult> results; // what ReceiveReply returned, one per receive event
    int events = 0;

    // Opens the link on a fresh pseudo-terminal, with a receive handler that
    // assembles the awaited reply the way the communication window does.
    void OpenLink() {
        mixer = std::make_unique<PtyPeer>();
        QVERIFY(mixer->Valid());
        qputenv("ARDENIX_PORT", mixer->SlavePath().toLocal8Bit());
        programSetup.systemState.portIsOpen = ToFlag(OpenPort(comm()));
        QCOMPARE(programSetup.systemState.portIsOpen, flagTrue);
        comm().MSComm1.SetOnComm([this](int commEvent) {
            ++events;
            if (commEvent == SerialPort::comEvReceive &&
                linkRecord.exchange[replyRecord].busy == flagTrue) {
                results.append(ReceiveReply(linkRecord, comm(), linkRecord.replyBuffer,
                                            linkRecord.exchange[replyRecord].length));
            }
        });
    }

    void AwaitReply(Integer expected) {
        linkRecord.exchange[replyRecord].busy = flagTrue;
        linkRecord.exchange[replyRecord].length = expected;
    }

    // Writes bytes on the mixer's side and waits until the program had its
    // receive event for them.
    void Answer(const QByteArray& bytes) {
        const int before = events;
        QVERIFY(mixer->Write(bytes));
        QTRY_VERIFY(events > before);
    }

private slots:
    // A lost link shows message 1; here it is recorded instead of blocking.
    void initTestCase() {}
    void init() {
        ResetEngineState();
        // The link reports its loss to the connection, which tells the user;
        // the link's events are taken by hand.
        supervisor = std::make_unique<connection::Supervisor>(
            linkRecord, mirror, comm(), connection::Supervisor::Events::ByHand);
        SetLinkEvents({[this] { supervisor->LinkLostWhileSending(); }, &LogFrame});
        supervisor->SetFrontEnd({[this](MessageKind kind) { shownMessages << kind; }, {}, {}});
        results.clear();
        events = 0;
        host::SetCommandLineText(QString());
    }
    void cleanup() {
        supervisor.reset();
        DestroyCommControls();
        mixer.reset();
        qunsetenv("ARDENIX_PORT");
    }

    void frameGoesOutByteByByteWithOneCarriageReturn() {
        OpenLink();
        QVERIFY(!comm().Timer1.Enabled());
        const QByteArray rast("RAST");
        std::copy(rast.begin(), rast.end(), linkRecord.sendBuffer.begin());
        linkRecord.exchange[sendRecord].length = 4;
        QCOMPARE(SendFrame(linkRecord, comm(), linkRecord.sendBuffer.data(), 4), LinkResult::Ok);
        QCOMPARE(mixer->Read(5), QByteArray("RAST\r"));
        QCOMPARE(mixer->ReadFor(100), QByteArray());
        QVERIFY(comm().Timer1.Enabled());

        // A six-byte command, logged in debug mode.
        programSetup.debugMode = flagTrue;
        const QByteArray cmut("CMUT@A");
        std::copy(cmut.begin(), cmut.end(), linkRecord.sendBuffer.begin());
        linkRecord.exchange[sendRecord].length = 6;
        QCOMPARE(SendFrame(linkRecord, comm(), linkRecord.sendBuffer.data(), 6), LinkResult::Ok);
        QCOMPARE(mixer->Read(7), QByteArray("CMUT@A\r"));
        QCOMPARE(trafficLists.comm[0].Lines(), QStringList{QStringLiteral("434D55544041")});
        QCOMPARE(trafficLists.comm[1].Lines(), QStringList{QStringLiteral("CMUT@A")});

        // A one-byte frame goes out without arming the reply timer.
        comm().Timer1.SetEnabled(false);
        linkRecord.sendBuffer[0] = 'Q';
        QCOMPARE(SendFrame(linkRecord, comm(), linkRecord.sendBuffer.data(), 1), LinkResult::Ok);
        QCOMPARE(mixer->Read(2), QByteArray("Q\r"));
        QVERIFY(!comm().Timer1.Enabled());

        // A length beyond the send buffer reads no further than the buffer.
        linkRecord.sendBuffer.fill('w');
        QCOMPARE(SendFrame(linkRecord, comm(), linkRecord.sendBuffer.data(), 1000), LinkResult::Ok);
        QCOMPARE(mixer->Read(257), QByteArray(256, 'w') + '\r');

        // Suspended: nothing is written and the result is 0.
        linkRecord.linkSuspended = flagTrue;
        QCOMPARE(SendFrame(linkRecord, comm(), linkRecord.sendBuffer.data(), 4), LinkResult::Ok);
        QCOMPARE(mixer->ReadFor(100), QByteArray());
        linkRecord.linkSuspended = flagFalse;

        // Not open as far as the link knows: -9 and the port is not touched.
        programSetup.systemState.portIsOpen = flagFalse;
        QCOMPARE(SendFrame(linkRecord, comm(), linkRecord.sendBuffer.data(), 4), LinkResult::Dead);
        QCOMPARE(mixer->ReadFor(100), QByteArray());
        QVERIFY(comm().MSComm1.PortOpen());
        QCOMPARE(ReceiveReply(linkRecord, comm(), linkRecord.replyBuffer,
                              linkRecord.exchange[replyRecord].length),
                 LinkResult::Dead);
    }

    void statusReplyCompletesOnce() {
        OpenLink();
        QByteArray data;
        for (int i = 0; i < 74; ++i) {
            data.append(static_cast<char>(0x30 + i % 40));
        }
        // In one piece.
        AwaitReply(75);
        linkRecord.exchange[replyRecord].ticks = 2;
        Answer("A" + data + "\r");
        QCOMPARE(results, QList<LinkResult>{LinkResult::Accepted});
        QCOMPARE(linkRecord.exchange[replyRecord].length, Integer(74));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(linkRecord.replyBuffer.data()), 74),
                 data);
        QCOMPARE(linkRecord.replyBuffer[74], Byte(0));
        QCOMPARE(linkRecord.exchange[replyRecord].ticks, Integer(0));
        QCOMPARE(linkRecord.ackSeen, flagFalse);
        QCOMPARE(comm().MSComm1.InBufferCount(), qint64(0));

        // One byte per receive event: only the event that sees the whole
        // reply completes it.
        results.clear();
        linkRecord.replyBuffer.fill(0);
        AwaitReply(75);
        const QByteArray reply = "A" + data + "\r";
        for (char byte : reply) {
            Answer(QByteArray(1, byte));
        }
        QCOMPARE(results.size(), 76);
        QCOMPARE(results.count(LinkResult::Accepted), 1);
        QCOMPARE(results.last(), LinkResult::Accepted);
        QCOMPARE(linkRecord.exchange[replyRecord].length, Integer(74));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(linkRecord.replyBuffer.data()), 74),
                 data);
    }

    void commandReplyAndRefusal() {
        OpenLink();
        // "A" + CR for a command: no data, the waiting frame is released.
        linkRecord.exchange[sendRecord].busy = flagTrue;
        AwaitReply(1);
        Answer("A\r");
        QCOMPARE(results, QList<LinkResult>{LinkResult::Accepted});
        QCOMPARE(linkRecord.exchange[replyRecord].length, Integer(0));
        QCOMPARE(linkRecord.exchange[sendRecord].busy, flagFalse);

        // A stray byte before the acknowledgement is dropped on its own.
        results.clear();
        AwaitReply(1);
        Answer("x");
        QCOMPARE(results, QList<LinkResult>{LinkResult::Ok});
        QCOMPARE(linkRecord.ackSeen, flagFalse);
        QCOMPARE(comm().MSComm1.InBufferCount(), qint64(0));
        Answer("A\r");
        QCOMPARE(results.last(), LinkResult::Accepted);

        // "N": refused, and in debug mode the line at the top of both lists.
        results.clear();
        programSetup.debugMode = flagTrue;
        trafficLists.debug[0].AddItem(QStringLiteral("older"));
        AwaitReply(75);
        Answer("N");
        QCOMPARE(results, QList<LinkResult>{LinkResult::Refused});
        QCOMPARE(linkRecord.nakSeen, flagTrue);
        QCOMPARE(trafficLists.debug[0].List(0), QStringLiteral("NAK_NAK"));
        QCOMPARE(trafficLists.debug[1].List(0), QStringLiteral("NAK_NAK"));
        QCOMPARE(trafficLists.debug[0].ListCount(), 2);
        // Until the supervisor clears the flag nothing more comes of the line.
        Answer("A\r");
        QCOMPARE(results.last(), LinkResult::Ok);
        QCOMPARE(linkRecord.ackSeen, flagFalse);
    }

    void badRepliesNeverOverrun() {
        OpenLink();
        // One byte too many after the acknowledgement: never complete.
        AwaitReply(1);
        Answer("A\rz");
        Answer("q");
        QVERIFY(!results.contains(LinkResult::Accepted));
        QCOMPARE(linkRecord.ackSeen, flagTrue);

        // A full-length reply without its carriage return: consumed, not complete.
        linkRecord.ackSeen = flagFalse;
        comm().MSComm1.DiscardInput();
        results.clear();
        AwaitReply(75);
        Answer("A" + QByteArray(74, 'd') + "X");
        QCOMPARE(results, QList<LinkResult>{LinkResult::Ok});
        QCOMPARE(comm().MSComm1.InBufferCount(), qint64(0));
        QCOMPARE(linkRecord.ackSeen, flagTrue);
        QCOMPARE(linkRecord.exchange[replyRecord].length, Integer(75));

        // Expected counts whose data cannot fit the reply buffer, or that are
        // negative: the bytes are never taken, the buffer is never touched.
        for (const Integer expected : {Integer(259), Integer(3000), Integer(-4)}) {
            linkRecord.ackSeen = flagFalse;
            comm().MSComm1.DiscardInput();
            linkRecord.replyBuffer.fill(0xAB);
            results.clear();
            AwaitReply(expected);
            Answer("A" + QByteArray(expected > 0 ? expected - 1 : 3, 'e') + "\r");
            QVERIFY(!results.contains(LinkResult::Accepted));
            QVERIFY(std::all_of(linkRecord.replyBuffer.begin(), linkRecord.replyBuffer.end(),
                                [](Byte b) { return b == 0xAB; }));
            QCOMPARE(linkRecord.exchange[replyRecord].length, expected);
        }

        // The largest reply that fits: 257 data bytes fill the buffer exactly.
        linkRecord.ackSeen = flagFalse;
        comm().MSComm1.DiscardInput();
        results.clear();
        AwaitReply(258);
        programSetup.debugMode = flagTrue;
        Answer("A" + QByteArray(257, 'f') + "\r");
        QTRY_COMPARE(results.count(LinkResult::Accepted), 1);
        QCOMPARE(linkRecord.exchange[replyRecord].length, Integer(257));
        QCOMPARE(linkRecord.replyBuffer[256], Byte('f'));
        QCOMPARE(trafficLists.comm[2].ListCount(), 16); // the log shows what its buffer holds
        programSetup.debugMode = flagFalse;

        // A flood after the acknowledgement: never complete, nothing outside
        // the buffer.
        results.clear();
        AwaitReply(75);
        linkRecord.replyBuffer.fill(0);
        Answer("A");
        for (int i = 0; i < 20; ++i) {
            Answer(QByteArray(1000, 'g'));
        }
        QVERIFY(!results.contains(LinkResult::Accepted));
        QVERIFY(std::all_of(linkRecord.replyBuffer.begin(), linkRecord.replyBuffer.end(),
                            [](Byte b) { return b == 0; }));
    }

    void hangUpIsNoticed() {
        OpenLink();
        QVERIFY(IsPortAlive());
        QVERIFY(comm().MSComm1.CommID() >= 0);
        comm().Timer1.SetEnabled(true);
        comm().Timer2.SetEnabled(true);
        linkRecord.ackSeen = flagTrue;
        programSetup.systemState.deviceResponding = flagTrue;

        mixer->CloseMaster();
        QVERIFY(!IsPortAlive());
        // The port closes itself once the hang-up is seen; the link flag stays.
        QTRY_VERIFY(!comm().MSComm1.PortOpen());
        QCOMPARE(comm().MSComm1.CommID(), -1);
        QCOMPARE(programSetup.systemState.portIsOpen, flagTrue);

        // The next frame finds the port dead and takes the link down.
        const QByteArray rast("RAST");
        std::copy(rast.begin(), rast.end(), linkRecord.sendBuffer.begin());
        shownMessages.clear();
        QCOMPARE(SendFrame(linkRecord, comm(), linkRecord.sendBuffer.data(), 4), LinkResult::Dead);
        QCOMPARE(shownMessages,
                 QList<MessageKind>{MessageKind::Connection}); // the user is told once
        QCOMPARE(programSetup.systemState.portIsOpen, flagFalse);
        QCOMPARE(programSetup.systemState.deviceResponding, flagFalse);
        QCOMPARE(linkRecord.ackSeen, flagFalse);
        QVERIFY(!comm().Timer1.Enabled());
        QVERIFY(!comm().Timer2.Enabled());
        QCOMPARE(SendFrame(linkRecord, comm(), linkRecord.sendBuffer.data(), 4), LinkResult::Dead);
    }

    void lineSettingsAndTestMode() {
        mixer = std::make_unique<PtyPeer>();
        QVERIFY(mixer->Valid());
        // A link to the device works as well as the device itself.
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyMixer"));
        QVERIFY(QFile::link(mixer->SlavePath(), link));
        qputenv("ARDENIX_PORT", link.toLocal8Bit());

        struct Case {
            const char* commandLine;
            Integer port;
            speed_t speed;
            qint32 baud;
        };
        programSetup.comPortNumber = 3;
        const Case cases[] = {{"1d", 1, B9600, 9600},     {"1D", 1, B9600, 9600},
                              {"", 3, B38400, 38400},     {"d", 3, B38400, 38400},
                              {"1d x", 3, B38400, 38400}, {"1dd", 3, B38400, 38400}};
        for (const Case& c : cases) {
            host::SetCommandLineText(QString::fromLatin1(c.commandLine));
            LineCalls().clear();
            QVERIFY2(OpenPort(comm()), c.commandLine);
            QCOMPARE(comm().MSComm1.CommPort(), c.port);
            QCOMPARE(comm().MSComm1.BaudRate(), c.baud);
            const int fd = comm().MSComm1.CommID();
            termios attributes{};
            QCOMPARE(::tcgetattr(fd, &attributes), 0);
            QCOMPARE(::cfgetospeed(&attributes), c.speed);
            QCOMPARE(attributes.c_cflag & CSIZE, tcflag_t(CS8));
            QCOMPARE(attributes.c_cflag & CSTOPB, tcflag_t(0));
            // Odd parity: the line keeps PARODD (a pseudo-terminal drops the
            // parity-enable flag, so the settings asked for are checked too).
            QCOMPARE(attributes.c_cflag & PARODD, tcflag_t(PARODD));
            bool oddParityAsked = false;
            bool rtsRaised = false;
            bool dtrLowered = false;
            bool dtrRaised = false;
            for (const LineCall& call : LineCalls()) {
                if (call.fd != fd) {
                    continue;
                }
                oddParityAsked = oddParityAsked ||
                                 (call.request == 0 &&
                                  (call.settings.c_cflag & (PARENB | PARODD)) == (PARENB | PARODD));
                rtsRaised = rtsRaised || (call.request == TIOCMBIS && (call.bits & TIOCM_RTS) != 0);
                dtrLowered =
                    dtrLowered || (call.request == TIOCMBIC && (call.bits & TIOCM_DTR) != 0);
                dtrRaised = dtrRaised || (call.request == TIOCMBIS && (call.bits & TIOCM_DTR) != 0);
            }
            QVERIFY2(oddParityAsked, c.commandLine);
            QVERIFY2(rtsRaised, c.commandLine);
            QVERIFY2(dtrLowered && !dtrRaised, c.commandLine);
            ClosePort(comm());
            QVERIFY(!comm().MSComm1.PortOpen());
        }
        QCOMPARE(SerialPort::DevicePath(3), link);
        qunsetenv("ARDENIX_PORT");
        QCOMPARE(SerialPort::DevicePath(1), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(SerialPort::DevicePath(12), QStringLiteral("/dev/ttyUSB11"));
        QCOMPARE(SerialPort::DevicePath(0), QString());
    }

    // The converter is asked to hand bytes on at once (low latency); a device
    // that does not know the request (a pseudo-terminal) opens all the same.
    void lowLatencyIsAskedFor() {
        mixer = std::make_unique<PtyPeer>();
        qputenv("ARDENIX_PORT", mixer->SlavePath().toLocal8Bit());
        const auto lowLatencyAsked = [](int fd) {
            for (const LineCall& call : LineCalls()) {
                if (call.fd == fd && call.request == TIOCSSERIAL &&
                    (call.bits & ASYNC_LOW_LATENCY) != 0) {
                    return true;
                }
            }
            return false;
        };
        LineCalls().clear();
        PretendSerialDriver() = true;
        const bool opened = OpenPort(comm());
        PretendSerialDriver() = false;
        QVERIFY(opened);
        QVERIFY(lowLatencyAsked(comm().MSComm1.CommID()));
        ClosePort(comm());

        LineCalls().clear();
        programSetup.systemState.portIsOpen =
            ToFlag(OpenPort(comm())); // the pseudo-terminal refuses
        QCOMPARE(programSetup.systemState.portIsOpen, flagTrue);
        QVERIFY(!lowLatencyAsked(comm().MSComm1.CommID()));
        linkRecord.sendBuffer[0] = 'X';
        QCOMPARE(SendFrame(linkRecord, comm(), linkRecord.sendBuffer.data(), 1), LinkResult::Ok);
        QCOMPARE(mixer->Read(2), QByteArray("X\r"));
    }

    // A port that cannot be opened is told once per reason, not on every
    // attempt of the reopen timer; after an opening it is news again.
    void openFailuresAreToldOnce() {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("missing"));
        qputenv("ARDENIX_PORT", missing.toLocal8Bit());
        {
            StderrCapture capture;
            for (int attempt = 0; attempt < 5; ++attempt) {
                QVERIFY(!OpenPort(comm()));
            }
            qputenv("ARDENIX_PORT", dir.path().toLocal8Bit()); // another reason
            QVERIFY(!OpenPort(comm()));
            QVERIFY(!OpenPort(comm()));
            const QString text = capture.Text();
            QCOMPARE(text.count(QLatin1Char('\n')), 2);
            QCOMPARE(text.count(missing), 1);
        }
        mixer = std::make_unique<PtyPeer>();
        qputenv("ARDENIX_PORT", mixer->SlavePath().toLocal8Bit());
        QVERIFY(OpenPort(comm()));
        ClosePort(comm());
        qputenv("ARDENIX_PORT", missing.toLocal8Bit());
        StderrCapture capture;
        QVERIFY(!OpenPort(comm()));
        QVERIFY(!OpenPort(comm()));
        QCOMPARE(capture.Text().count(missing), 1);
    }

    // A device the user may not open: the reason says what to do. Joining
    // the device's group is advised only for an ordinary group that may read
    // and write it; otherwise the udev rule.
    void noPermissionSaysWhatToDo() {
        if (::geteuid() != 0) {
            QSKIP("needs root to give the device another owner and open it as another user");
        }
        mixer = std::make_unique<PtyPeer>();
        const QByteArray path = mixer->SlavePath().toLocal8Bit();
        const struct group* users = ::getgrnam("users");
        QVERIFY2(users != nullptr && users->gr_gid >= 100, "an ordinary group 'users'");
        const gid_t usersGid = users->gr_gid;
        // What an unprivileged user is told on opening the device.
        const auto told = [&]() -> QByteArray {
            int out[2];
            if (::pipe(out) != 0) {
                return "no pipe";
            }
            const pid_t child = ::fork();
            if (child == 0) {
                ::dup2(out[1], 2);
                if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
                    ::_exit(90);
                }
                qputenv("ARDENIX_PORT", path);
                ::_exit(OpenPort(comm()) ? 1 : 0);
            }
            ::close(out[1]);
            QByteArray text;
            char buffer[512];
            ssize_t n = 0;
            while ((n = ::read(out[0], buffer, sizeof buffer)) > 0) {
                text.append(buffer, n);
            }
            ::close(out[0]);
            int status = 0;
            ::waitpid(child, &status, 0);
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                return "the port opened, or the child failed: " + text;
            }
            return text;
        };
        const struct {
            gid_t group;
            mode_t mode;
            bool joinAdvised;
        } cases[] = {
            {0, 0600, false},        // root's own device
            {0, 0660, false},        // root is a system group
            {5, 0660, false},        // so is any group below 100 (tty)
            {usersGid, 0600, false}, // the group may not use the device
            {usersGid, 0640, false}, // nor only read it
            {usersGid, 0660, true},
        };
        for (const auto& c : cases) {
            QCOMPARE(::chown(path.constData(), 0, c.group), 0);
            QCOMPARE(::chmod(path.constData(), c.mode), 0);
            const QByteArray text = told();
            const QByteArray which =
                QByteArray::number(c.group) + ' ' + QByteArray::number(c.mode, 8) + ": " + text;
            QVERIFY2(text.contains("no permission") && text.contains("udev rule"),
                     which.constData());
            QVERIFY2(text.contains("join the group") == c.joinAdvised, which.constData());
            QVERIFY2(!c.joinAdvised ||
                         text.contains("join the group 'users' (sudo adduser $USER users)"),
                     which.constData());
        }
    }

    void openFailuresSayWhy() {
        QTemporaryDir dir;
        QFile regular(dir.filePath(QStringLiteral("plain")));
        QVERIFY(regular.open(QIODevice::WriteOnly));
        regular.close();
        const struct {
            QString path;
            const char* reason;
        } cases[] = {
            {dir.filePath(QStringLiteral("missing")), "no such device"},
            {dir.path(), "directory"},
            {regular.fileName(), "regular file"},
        };
        for (const auto& c : cases) {
            qputenv("ARDENIX_PORT", c.path.toLocal8Bit());
            StderrCapture capture;
            QVERIFY(!OpenPort(comm()));
            const QString text = capture.Text();
            QCOMPARE(text.count(QLatin1Char('\n')), 1);
            QVERIFY2(text.contains(c.path) && text.contains(QLatin1String(c.reason)),
                     qPrintable(text));
            QVERIFY(!comm().MSComm1.PortOpen());
        }

        // No converter found and no path given.
        qunsetenv("ARDENIX_PORT");
        programSetup.comPortNumber = 0;
        {
            StderrCapture capture;
            QVERIFY(!OpenPort(comm()));
            QVERIFY(capture.Text().contains(QLatin1String("no such device")));
        }

        // A port that another opener holds.
        mixer = std::make_unique<PtyPeer>();
        qputenv("ARDENIX_PORT", mixer->SlavePath().toLocal8Bit());
        QVERIFY(OpenPort(comm()));
        SerialPort other;
        QVERIFY(other.SetSettings(QStringLiteral("38400,O,8,1")));
        {
            StderrCapture capture;
            QVERIFY(!other.SetPortOpen(true));
            const QString text = capture.Text();
            QVERIFY2(text.contains(QLatin1String("in use by another program")), qPrintable(text));
        }
        // Opening an open port fails too; the open port stays usable.
        {
            StderrCapture capture;
            QVERIFY(!comm().MSComm1.SetPortOpen(true));
        }
        QVERIFY(comm().MSComm1.PortOpen());
        QVERIFY(!other.SetSettings(QStringLiteral("38400,X,8,1")));
        QVERIFY(!other.SetSettings(QStringLiteral("fast,O,8,1")));
        QVERIFY(!other.SetSettings(QStringLiteral("38400,O,8")));
    }

    void resetLinkState() {
        linkRecord.anyChangePending = true;
        linkRecord.fullStatusNeeded = true;
        for (KindFlags& f : linkRecord.kindFlags) {
            f = KindFlags{flagTrue, flagTrue};
        }
        linkRecord.exchange.fill(ExchangeRecord{flagTrue, -3, 75, 4, 2, 2});
        ResetLinkState(linkRecord);
        QVERIFY(!linkRecord.anyChangePending);
        QVERIFY(!linkRecord.fullStatusNeeded);
        for (const KindFlags& f : linkRecord.kindFlags) {
            QCOMPARE(f.changePending, flagFalse);
            QCOMPARE(f.requestOutstanding, flagFalse);
        }
        for (const ExchangeRecord& r : linkRecord.exchange) {
            QCOMPARE(r.busy, flagFalse);
            QCOMPARE(r.status, Integer(0));
            QCOMPARE(r.length, Integer(0));
            QCOMPARE(r.kind, Integer(-1));
            QCOMPARE(r.index, Integer(0));
            QCOMPARE(r.ticks, Integer(0));
        }
    }
};

QTEST_MAIN(TestLink)
#include "test_link.moc"
