// The simulated mixer seen from the panel's side of its line: a scripted client
// on the link path, with its own idea of what the mixer's replies must hold.
#include "tests/simpeer.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace {

// The accepted ranges in the compact form a panel keeps them: character i of
// the first string is the lowest value of data byte i, of the second the
// highest; "!" opens eight bytes of free text, "#" stands for 0x7F.
struct Ranges {
    QByteArray lowest;
    QByteArray highest;
};

QByteArray Expand(QByteArray text, char freeFill) {
    for (qsizetype at = text.indexOf('!'); at >= 0; at = text.indexOf('!')) {
        for (qsizetype k = at; k < at + 8; ++k) {
            text[k] = freeFill;
        }
    }
    text.replace('#', '\x7F');
    return text;
}

Ranges RangesOf(const char* lowest, const char* highest) {
    return {Expand(lowest, '\x00'), Expand(highest, '\xFF')};
}

const Ranges& Ril4Ranges() {
    static const Ranges ranges =
        RangesOf("!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!000000@ .0 .000",
                 "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!??????\\~Jl~JlIl");
    return ranges;
}
const Ranges& RsioRanges() {
    static const Ranges ranges = RangesOf("0@0@0@0@0@0@0@@@00000000", "zOzOzOzOzOzOzOOK777777z3");
    return ranges;
}
const Ranges& RgfRanges() {
    static const Ranges ranges = RangesOf("!!!!!!!!@@@@", "!!!!!!!!#C#G");
    return ranges;
}
const Ranges& RsciRanges() {
    static const Ranges ranges = RangesOf("!!!!!!!!", "!!!!!!!!");
    return ranges;
}
const Ranges& RastRanges() {
    static const Ranges ranges =
        RangesOf("000000000000000000000000@@@@@@@@@@@@@@@@000000000000000000000000@@@@@@00@0",
                 "@@@@@@@@@@@@@@@@@@@@@@@@#C#C#C#O#OG####Ovvvvvvvvvvvvvvvvvvvvvvvv#C##C#6D#@");
    return ranges;
}

// The first position whose byte lies outside its range; -1 when all pass,
// -2 when the length is wrong.
int FirstBadByte(const QByteArray& data, const Ranges& ranges) {
    if (data.size() != ranges.lowest.size()) {
        return -2;
    }
    for (int i = 0; i < data.size(); ++i) {
        const auto value = static_cast<unsigned char>(data[i]);
        if (value < static_cast<unsigned char>(ranges.lowest[i]) ||
            value > static_cast<unsigned char>(ranges.highest[i])) {
            return i;
        }
    }
    return -1;
}

// A level code back to its fader step, as a panel decodes it.
int StepOfCode(int code) {
    static const int thresholds[] = {48, 49, 50, 52, 54, 56, 58, 59,  60,  61, 63,
                                     66, 68, 69, 70, 71, 73, 76, 78,  79,  81, 82,
                                     84, 86, 88, 89, 90, 91, 94, 100, 108, 119};
    for (int i = 0; i < 31; ++i) {
        if (thresholds[i] <= code && code < thresholds[i + 1]) {
            return i;
        }
    }
    return -1;
}

QRegularExpression LogLine(const QString& text) {
    return QRegularExpression("(^|\\n)\\d+ " + QRegularExpression::escape(text) + "\\n");
}

} // namespace

using simpeer::Client;
using simpeer::Sim;

class TestSim : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    Sim sim_;
    Client client_;

    QString LinkPath(const QString& name) const { return dir_.filePath(name); }
    QByteArray Rast() { return client_.Request("RAST", 74); }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QVERIFY2(sim_.Start(LinkPath("mixer.tty")), qPrintable(sim_.Link()));
        QVERIFY(QFileInfo(sim_.Link()).isSymLink());
        QVERIFY(QFileInfo(sim_.Link()).symLinkTarget().startsWith("/dev/pts/"));
        QVERIFY(client_.Open(sim_.Link()));
    }
    void init() {
        // A clean model between the cases.
        QCOMPARE(sim_.Command("silent off"), QString("ok silent off"));
        QCOMPARE(sim_.Command("nak 0"), QString("ok nak 0"));
    }

    void fullStatusReadAndStatusAreValid() {
        const QByteArray rast = Rast();
        QCOMPARE(rast.size(), 74);
        QCOMPARE(FirstBadByte(rast, RastRanges()), -1);
        for (int k = 1; k <= 6; ++k) {
            const QByteArray rim = client_.Request("RIM" + QByteArray::number(k) + "0", 40);
            QCOMPARE(rim.size(), 40);
        }
        QCOMPARE(client_.Request("RIL30", 18).size(), 18);
        const QByteArray ril4 = client_.Request("RIL40", 63);
        QCOMPARE(FirstBadByte(ril4, Ril4Ranges()), -1);
        const QByteArray rsio = client_.Request("RSIO", 24);
        QCOMPARE(FirstBadByte(rsio, RsioRanges()), -1);
        for (int k = 0; k < 7; ++k) {
            QVERIFY((rsio[2 * k + 1] & 7) <= 4);
        }
        const QByteArray rgfa = client_.Request("RGFA0", 12);
        const QByteArray rgfb = client_.Request("RGFB0", 12);
        QCOMPARE(FirstBadByte(rgfa, RgfRanges()), -1);
        QCOMPARE(FirstBadByte(rgfb, RgfRanges()), -1);
        const QByteArray rrsa = client_.Request("RRSA", 4);
        QCOMPARE(rrsa.size(), 4);
        QStringList sceneNames;
        for (const char code : rrsa) {
            QVERIFY(code >= 49 && code <= 68);
            const QByteArray rsci = client_.Request(QByteArray("RSCI") + code, 8);
            QCOMPARE(FirstBadByte(rsci, RsciRanges()), -1);
            sceneNames << QString::fromLatin1(rsci);
        }

        // The replies report the model the console shows.
        const QJsonObject state = sim_.State();
        const QJsonArray inputs = state["inputs"].toArray();
        for (int k = 0; k < 6; ++k) {
            QCOMPARE(QString::fromLatin1(ril4.mid(8 * k, 8)),
                     inputs[k].toObject()["name"].toString());
            QCOMPARE(rsio[2 + 2 * k] - '0', inputs[k].toObject()["status"].toInt());
        }
        const QJsonArray masters = state["masters"].toArray();
        QCOMPARE(QString::fromLatin1(rgfa.left(8)), masters[0].toObject()["name"].toString());
        QCOMPARE(QString::fromLatin1(rgfb.left(8)), masters[1].toObject()["name"].toString());
        QCOMPARE(StepOfCode(rast[56]), masters[0].toObject()["level"].toInt());
        QCOMPARE(StepOfCode(rast[57]), masters[1].toObject()["level"].toInt());
        for (int k = 0; k < 4; ++k) {
            QCOMPARE(int(rrsa[k]), state["sceneSlots"].toArray()[k].toInt());
            QCOMPARE(sceneNames[k], state["sceneNames"].toArray()[k].toString());
        }
        QCOMPARE(int(rast[71]), state["recall"].toInt());
        QCOMPARE(rast[70] - '0', state["selectedInput"].toInt());

        // Every level step goes out as a code of its own interval.
        for (int level = 0; level <= 30; ++level) {
            QVERIFY(sim_.Command(QString("set level B %1").arg(level)).startsWith("ok"));
            const QByteArray status = Rast();
            QCOMPARE(FirstBadByte(status, RastRanges()), -1);
            QCOMPARE(StepOfCode(status[57]), level);
        }
    }

    void commandsActAndBadParametersAreRefused() {
        QCOMPARE(client_.Exchange("CMUT@@", 2), QByteArray("A\r"));
        QCOMPARE(client_.Exchange("CMUTAA", 2), QByteArray("A\r"));
        QCOMPARE(Rast()[68], 'B');
        QCOMPARE(client_.Exchange("CMUT@A", 2), QByteArray("A\r"));
        QCOMPARE(Rast()[68], 'C');
        QCOMPARE(client_.Exchange("CMUT@@", 2), QByteArray("A\r"));
        QCOMPARE(client_.Exchange("CMUTA@", 2), QByteArray("A\r"));
        QCOMPARE(Rast()[68], '@');

        QCOMPARE(client_.Exchange("CSEL6", 2), QByteArray("A\r"));
        QCOMPARE(Rast()[70], '6');
        QCOMPARE(client_.Exchange("CSEL1", 2), QByteArray("A\r"));
        QCOMPARE(Rast()[70], '1');

        QCOMPARE(client_.Exchange("CRCS85", 2), QByteArray("A\r"));
        QCOMPARE(sim_.State()["transportKey"].toInt(), 3);
        QCOMPARE(client_.Exchange("CRCS80", 2), QByteArray("A\r"));
        QCOMPARE(sim_.State()["transportKey"].toInt(), -1);

        // The mixer refuses what it cannot carry out, and changes nothing.
        for (const QByteArray& frame :
             {QByteArray("CMUT@X"), QByteArray("CMUTB@"), QByteArray("CSEL7"), QByteArray("CSEL0"),
              QByteArray("CRCS86"), QByteArray("CRCS95"), QByteArray("CLV+B"), QByteArray("CLVS"),
              QByteArray("RAST0"), QByteArray("RIM70"), QByteArray("RIM1"), QByteArray("RSCI0"),
              QByteArray("RGFC0"), QByteArray("CRCL0")}) {
            QCOMPARE(client_.Exchange(frame, 2, 300), QByteArray("N"));
        }
        const QByteArray rast = Rast();
        QCOMPARE(rast[68], '@');
        QCOMPARE(rast[70], '1');
    }

    void levelMovesWhileHeld() {
        QCOMPARE(sim_.Command("set level A 5"), QString("ok level A 5"));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(client_.Exchange("CLV+@", 2), QByteArray("A\r"));
        QTest::qWait(1000);
        QCOMPARE(client_.Exchange("CLVS@", 2), QByteArray("A\r"));
        const qint64 held = clock.elapsed();
        const int moved = StepOfCode(Rast()[56]) - 5;
        // One step at once and one every 100 ms: about 10 in a second.
        QVERIFY2(moved >= 7 && moved <= 5 + int(held / 100) + 1,
                 qPrintable(QString("moved %1 in %2 ms").arg(moved).arg(held)));
        QTest::qWait(300);
        QCOMPARE(StepOfCode(Rast()[56]), 5 + moved);

        // Lowering stops at the end of the range by itself.
        QCOMPARE(sim_.Command("set level B 2"), QString("ok level B 2"));
        QCOMPARE(client_.Exchange("CLV-A", 2), QByteArray("A\r"));
        QTest::qWait(600);
        QCOMPARE(StepOfCode(Rast()[57]), 0);
        const QJsonObject masterB = sim_.State()["masters"].toArray()[1].toObject();
        QCOMPARE(masterB["level"].toInt(), 0);
        QCOMPARE(masterB["motion"].toString(), QString("none"));
        QCOMPARE(client_.Exchange("CLVSA", 2), QByteArray("A\r"));
    }

    void sceneRecallRestoresTheScene() {
        for (const QString& line : QStringList{"set level A 3", "set level B 27", "set mute A on",
                                               "set mute B off", "set input 4", "store 55"}) {
            QVERIFY(sim_.Command(line).startsWith("ok "));
        }
        for (const QString& line :
             QStringList{"set level A 20", "set mute A off", "set input 1", "set recall 49"}) {
            QVERIFY(sim_.Command(line).startsWith("ok "));
        }
        QCOMPARE(client_.Exchange("CRCL7", 2), QByteArray("A\r")); // scene code 55
        const QByteArray rast = Rast();
        QCOMPARE(StepOfCode(rast[56]), 3);
        QCOMPARE(StepOfCode(rast[57]), 27);
        QCOMPARE(rast[68], 'A');
        QCOMPARE(rast[70], '4');
        QCOMPARE(rast[71], '7');
        // Codes outside the twenty scenes are refused.
        QCOMPARE(client_.Exchange("CRCL0", 2, 300), QByteArray("N"));
        QCOMPARE(client_.Exchange("CRCLE", 2, 300), QByteArray("N"));
        QCOMPARE(Rast()[71], '7');
    }

    void injectedFaults() {
        // Silent: nothing at all, and the frame is not acted on.
        QCOMPARE(sim_.Command("silent on"), QString("ok silent on"));
        QCOMPARE(client_.Exchange("CSEL5", 1, 300), QByteArray());
        QCOMPARE(client_.Exchange("RAST", 1, 300), QByteArray());
        QCOMPARE(sim_.Command("silent off"), QString("ok silent off"));
        QVERIFY(Rast()[70] != '5');

        // NAK: exactly the next N frames.
        QCOMPARE(sim_.Command("nak 2"), QString("ok nak 2"));
        QCOMPARE(client_.Exchange("RAST", 76, 300), QByteArray("N"));
        QCOMPARE(client_.Exchange("CSEL5", 2, 300), QByteArray("N"));
        QCOMPARE(Rast().size(), 74);
        QVERIFY(Rast()[70] != '5');

        // Garbage: stray bytes, none of them an acknowledgement, then the reply.
        QCOMPARE(sim_.Command("garbage"), QString("ok garbage"));
        QVERIFY(client_.Write("CSEL2\r"));
        const QByteArray withGarbage = client_.Read(64, 300);
        QVERIFY(withGarbage.size() > 2);
        QVERIFY(withGarbage.endsWith("A\r"));
        const QByteArray stray = withGarbage.chopped(2);
        QVERIFY(!stray.contains('A') && !stray.contains('N') && !stray.contains('\r'));
        QCOMPARE(client_.Exchange("CSEL3", 64, 300), QByteArray("A\r")); // only once

        // Truncate: the reply loses its carriage return, once.
        QCOMPARE(sim_.Command("truncate"), QString("ok truncate"));
        const QByteArray truncated = client_.Exchange("RAST", 76, 400);
        QCOMPARE(truncated.size(), 75);
        QVERIFY(truncated.startsWith('A'));
        QCOMPARE(FirstBadByte(truncated.mid(1), RastRanges()), -1);
        QCOMPARE(Rast().size(), 74);

        // Range: one byte of the next status out of range, then right again.
        QCOMPARE(sim_.Command("range"), QString("ok range"));
        QVERIFY(FirstBadByte(Rast(), RastRanges()) >= 0);
        QCOMPARE(FirstBadByte(Rast(), RastRanges()), -1);
        QVERIFY(sim_.LogHas(QRegularExpression("tx A \\+74 bytes \\(fault: range")));
        // No fault of the simulator itself was reported on the way.
        QVERIFY2(!sim_.Log().contains("error:"), qPrintable(sim_.Log()));
    }

    void badInputIsRefusedAndTheLineResynchronises() {
        QCOMPARE(client_.Exchange("XYZW", 2, 300), QByteArray("N"));
        QCOMPARE(client_.Exchange("", 2, 300), QByteArray("N"));
        QByteArray noise;
        for (int i = 0; i < 40; ++i) {
            noise += char((i * 97 + 13) % 256 == '\r' ? 0 : (i * 97 + 13) % 256);
        }
        QCOMPARE(client_.Exchange(noise, 2, 300), QByteArray("N"));
        QCOMPARE(Rast().size(), 74);
        // Far too long: refused once, the rest up to the carriage return dropped.
        QCOMPARE(client_.Exchange(QByteArray(500, 'R'), 2, 400), QByteArray("N"));
        QCOMPARE(Rast().size(), 74);
        // A frame cut off without its carriage return spoils only itself.
        QVERIFY(client_.Write("RAS"));
        QCOMPARE(client_.Read(1, 200), QByteArray());
        QCOMPARE(client_.Exchange("RAST", 2, 300), QByteArray("N")); // "RASRAST"
        QCOMPARE(Rast().size(), 74);
        QVERIFY(sim_.LogHas(QRegularExpression("\\d+ rx \\? overlong 500 bytes\\n")));
        QVERIFY(sim_.LogHas(LogLine("rx RASR 41 53 54")));
        QCOMPARE(sim_.Process().state(), QProcess::Running);
    }

    void panelClosingAndReopeningKeepsTheLine() {
        for (int round = 0; round < 3; ++round) {
            client_.Close();
            QVERIFY(client_.Open(sim_.Link()));
            QCOMPARE(Rast().size(), 74);
        }
        QCOMPARE(sim_.Process().state(), QProcess::Running);
    }

    void unplugHangsUpAndPlugComesBack() {
        QCOMPARE(sim_.Command("unplug"), QString("ok unplug"));
        QVERIFY(!QFileInfo::exists(sim_.Link()) && !QFileInfo(sim_.Link()).isSymLink());
        pollfd entry{client_.Fd(), POLLIN, 0};
        QCOMPARE(::poll(&entry, 1, 1000), 1);
        QVERIFY(entry.revents & POLLHUP);
        termios settings{};
        QCOMPARE(::tcgetattr(client_.Fd(), &settings), -1);
        QCOMPARE(errno, EIO);
        QVERIFY(::write(client_.Fd(), "RAST\r", 5) < 0);
        QCOMPARE(sim_.Command("unplug"), QString("error: not plugged in"));
        Client other;
        QVERIFY(!other.Open(sim_.Link()));

        QCOMPARE(sim_.Command("plug"), QString("ok plug"));
        QVERIFY(QFileInfo(sim_.Link()).isSymLink());
        QCOMPARE(sim_.Command("plug"), QString("error: already plugged in"));
        QVERIFY(client_.Open(sim_.Link()));
        QCOMPARE(FirstBadByte(Rast(), RastRanges()), -1);
        QCOMPARE(client_.Exchange("CMUT@A", 2), QByteArray("A\r"));
    }

    void consoleStateAndMalformedCommands() {
        QCOMPARE(sim_.Command("set level A 17"), QString("ok level A 17"));
        QCOMPARE(sim_.Command("set mute A off"), QString("ok mute A off"));
        QCOMPARE(sim_.Command("set mute B on"), QString("ok mute B on"));
        QCOMPARE(sim_.Command("set overgain A on"), QString("ok overgain A on"));
        QCOMPARE(sim_.Command("set mugen B on"), QString("ok mugen B on"));
        QCOMPARE(sim_.Command("set input 3"), QString("ok input 3"));
        QCOMPARE(sim_.Command("set input-name 2 STUDIO"), QString("ok input-name 2 \"STUDIO  \""));
        QCOMPARE(sim_.Command("set slot C 60"), QString("ok slot C 60"));
        QCOMPARE(sim_.Command("set scene-name 60 INTRO"), QString("ok scene-name 60 \"INTRO   \""));
        QCOMPARE(sim_.Command("set transport 5"), QString("ok transport 5"));
        const QJsonObject state = sim_.State();
        const QJsonObject a = state["masters"].toArray()[0].toObject();
        const QJsonObject b = state["masters"].toArray()[1].toObject();
        QCOMPARE(a["level"].toInt(), 17);
        QCOMPARE(a["overGain"].toBool(), true);
        QCOMPARE(b["muted"].toBool(), true);
        QCOMPARE(b["mugen"].toBool(), true);
        QCOMPARE(state["selectedInput"].toInt(), 3);
        QCOMPARE(state["inputs"].toArray()[1].toObject()["name"].toString(), QString("STUDIO  "));
        QCOMPARE(state["sceneSlots"].toArray()[2].toInt(), 60);
        QCOMPARE(state["sceneNames"].toArray()[2].toString(), QString("INTRO   "));
        QCOMPARE(state["transportKey"].toInt(), 3);

        // The same on the line.
        const QByteArray rast = Rast();
        QCOMPARE(rast[31], 'D');
        QCOMPARE(rast[33], 'H');
        QCOMPARE(rast[68], 'B');
        QCOMPARE(rast[70], '3');
        QCOMPARE(StepOfCode(rast[56]), 17);
        QCOMPARE(client_.Request("RIL40", 63).mid(8, 8), QByteArray("STUDIO  "));
        QCOMPARE(client_.Request("RRSA", 4)[2], char(60));
        QCOMPARE(client_.Request("RSCI<", 8), QByteArray("INTRO   "));

        // A name holds any byte, typed as \xHH (and a backslash as \\); the
        // answer writes it back so, the state as the character of that number.
        QCOMPARE(sim_.Command("set master-name B ST\\xc4GE\\\\"),
                 QString("ok master-name B \"ST\\xC4GE\\\\  \""));
        QCOMPARE(client_.Request("RGFB0", 12).left(8), QByteArray("ST\xC4GE\\  "));
        QCOMPARE(sim_.State()["masters"].toArray()[1].toObject()["name"].toString(),
                 QString::fromLatin1("ST\xC4GE\\  "));
        QCOMPARE(sim_.Command("set scene-name 60 \\x0"),
                 QString("ok scene-name 60 \"\\\\x0     \""));
        QCOMPARE(sim_.Command("set scene-name 60 INTRO"), QString("ok scene-name 60 \"INTRO   \""));
        // Nine bytes, and a byte typed as itself (UTF-8), are no name.
        QVERIFY(sim_.Command("set input-name 2 \\xC4\\xC4\\xC4\\xC4\\xC4\\xC4\\xC4\\xC4\\xC4")
                    .startsWith("error: "));
        QVERIFY(sim_.Command("set input-name 2 CAM\u00C4").startsWith("error: "));
        QCOMPARE(client_.Request("RIL40", 63).mid(8, 8), QByteArray("STUDIO  "));

        // Malformed lines get one error line each and change nothing.
        for (const QString& line : QStringList{"",
                                               "frobnicate",
                                               "set",
                                               "set level C 3",
                                               "set level A 31",
                                               "set level A -1",
                                               "set level A 3x",
                                               "set mute A maybe",
                                               "set input 7",
                                               "set input-name 2",
                                               "set input-name 9 X",
                                               "set input-name 2 MUCHTOOLONG",
                                               "set scene-name 48 X",
                                               "set slot E 50",
                                               "set recall 69",
                                               "set transport 6",
                                               "nak -1",
                                               "nak x",
                                               "silent",
                                               "state now",
                                               "store 70",
                                               QString(2000, 'x')}) {
            QVERIFY2(sim_.Command(line).startsWith("error: "), qPrintable(line.left(40)));
        }
        QCOMPARE(sim_.State()["masters"].toArray()[0].toObject()["level"].toInt(), 17);
        QCOMPARE(Rast().size(), 74);
    }

    void trafficLogLines() {
        QCOMPARE(client_.Exchange("CMUT@A", 2), QByteArray("A\r"));
        QCOMPARE(Rast().size(), 74);
        QVERIFY(sim_.LogHas(LogLine("rx CMUT 40 41")));
        QVERIFY(sim_.LogHas(LogLine("rx RAST")));
        QVERIFY(sim_.LogHas(LogLine("tx A +74 bytes")));
        QVERIFY(sim_.LogHas(LogLine("tx A")));
        // The panel's settings (38400 baud, odd parity) draw no warning.
        QVERIFY(!sim_.Log().contains("warning:"));
    }

    void lineSettingsAndCommandLineFaults() {
        Sim sim;
        QVERIFY(sim.Start(LinkPath("second.tty"), {"--nak", "1", "--silent"}));
        Client client;
        QVERIFY(client.Open(sim.Link(), B19200, false));
        QCOMPARE(client.Exchange("RAST", 1, 300), QByteArray()); // silent
        QVERIFY(sim.LogHas(QRegularExpression("warning: line settings: speed 19200 baud.*parity "
                                              "not odd")));
        QCOMPARE(sim.Command("silent off"), QString("ok silent off"));
        QCOMPARE(client.Exchange("RAST", 76, 300), QByteArray("N")); // --nak 1
        QCOMPARE(client.Request("RAST", 74).size(), 74);
        // The panel's test mode: 9600 baud with odd parity is right.
        QVERIFY(client.Open(sim.Link(), B9600, true));
        QCOMPARE(client.Request("RAST", 74).size(), 74);
        QVERIFY(sim.LogHas(QRegularExpression("info line settings right again")));

        // The end of standard input leaves the simulator serving.
        sim.Process().closeWriteChannel();
        QTest::qWait(100);
        QCOMPARE(sim.Process().state(), QProcess::Running);
        QCOMPARE(client.Request("RSIO", 24).size(), 24);

        // SIGTERM: a clean stop that removes the link.
        sim.Process().terminate();
        QVERIFY(sim.Process().waitForFinished(3000));
        QCOMPARE(sim.Process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.Process().exitCode(), 0);
        QVERIFY(!QFileInfo(sim.Link()).isSymLink());
    }

    void baudDelayPacesTheReplies() {
        Sim sim;
        QVERIFY(sim.Start(LinkPath("paced.tty"), {"--baud-delay"}));
        Client client;
        QVERIFY(client.Open(sim.Link()));
        QElapsedTimer clock;
        for (int round = 0; round < 3; ++round) {
            clock.start();
            QCOMPARE(client.Request("RAST", 74).size(), 74);
            // 76 bytes of 11 bits at 38400 baud take 21.8 ms on the line.
            QVERIFY2(clock.nsecsElapsed() >= 20'000'000,
                     qPrintable(QString::number(clock.nsecsElapsed())));
        }
        // At 9600 baud the same reply takes four times as long.
        QVERIFY(client.Open(sim.Link(), B9600, true));
        clock.start();
        QCOMPARE(client.Request("RAST", 74).size(), 74);
        QVERIFY(clock.elapsed() >= 80);

        // Through a converter with a 16 ms latency timer: the same time on the
        // line, but the reply comes in a few packets, not byte by byte.
        Sim converter;
        QVERIFY(converter.Start(LinkPath("converter.tty"),
                                {"--baud-delay", "--converter-latency", "16"}));
        Client through;
        QVERIFY(through.Open(converter.Link()));
        for (int round = 0; round < 3; ++round) {
            clock.start();
            QCOMPARE(through.Request("RAST", 74).size(), 74);
            QVERIFY2(clock.nsecsElapsed() >= 20'000'000,
                     qPrintable(QString::number(clock.nsecsElapsed())));
            QVERIFY2(through.ReadCalls() <= 4, qPrintable(QString::number(through.ReadCalls())));
        }
        // The acknowledgement of a command comes as one packet (two when a
        // tick of the timer falls between its bytes).
        QCOMPARE(through.Exchange("CSEL3", 2), QByteArray("A\r"));
        QVERIFY(through.ReadCalls() <= 2);
        Sim refused;
        QVERIFY(!refused.Start(LinkPath("refused.tty"), {"--converter-latency", "16"}));
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "test_sim.moc"
