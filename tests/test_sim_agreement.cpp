// The simulated mixer and the panel's reply checks and decoders must agree:
// every reply the simulator sends passes the panel's CheckReply, and the
// panel's decoders read back the state the simulator reports on its console.
// The two are separate implementations, so a disagreement is a fault in one.
#include "core/state.h"
#include "protocol/protocol.h"
#include "protocol/replytables.h"
#include "tests/simpeer.h"
#include "tests/support/linkrecord.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

using simpeer::Client;
using simpeer::Sim;

class TestSimAgreement : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    Sim sim_;
    Client client_;

    // Puts the data of a reply where the link leaves it and asks the panel.
    static bool PanelAccepts(const QByteArray& data, Integer kind, Integer index) {
        std::fill(linkRecord.replyBuffer.begin(), linkRecord.replyBuffer.end(), Byte(0));
        std::copy(data.begin(), data.end(), linkRecord.replyBuffer.begin());
        return CheckReply(linkRecord, kind, static_cast<Integer>(data.size()), index);
    }
    QByteArray Request(const QByteArray& frame, int dataBytes) {
        return client_.Request(frame, dataBytes);
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QVERIFY(sim_.Start(dir_.filePath("mixer.tty")));
        QVERIFY(client_.Open(sim_.Link()));
    }
    void init() {
        ResetEngineState();
        InitProtocolTables(linkRecord, mirror);
    }

    void fullStatusReadPassesThePanelsChecks() {
        for (Integer k = 0; k < 6; ++k) {
            QVERIFY(PanelAccepts(Request("RIM" + QByteArray::number(k + 1) + "0", 40),
                                 Value(RequestKind::Inputs), k));
        }
        QVERIFY(PanelAccepts(Request("RIL30", 18), Value(RequestKind::Inputs), 6));
        QVERIFY(PanelAccepts(Request("RIL40", 63), Value(RequestKind::Inputs), 7));
        QVERIFY(PanelAccepts(Request("RSIO", 24), Value(RequestKind::InputStatus), 0));
        QVERIFY(PanelAccepts(Request("RGFA0", 12), Value(RequestKind::MasterName), 0));
        QVERIFY(PanelAccepts(Request("RGFB0", 12), Value(RequestKind::MasterName), 1));
        const QByteArray sceneCodes = Request("RRSA", 4);
        QVERIFY(PanelAccepts(sceneCodes, Value(RequestKind::SceneSlots), 0));
        for (Integer k = 0; k < 4; ++k) {
            QVERIFY(PanelAccepts(Request(QByteArray("RSCI") + sceneCodes[k], 8),
                                 Value(RequestKind::SceneName), k));
        }
        QVERIFY(PanelAccepts(Request("RAST", 74), Value(RequestKind::Status), 0));
        QCOMPARE(trafficLists.debug[0].ListCount(), 0); // no SMALL ERROR / BIG ERROR
        // A command's acknowledgement carries no data.
        QCOMPARE(client_.Exchange("CSEL2", 2), QByteArray("A\r"));
        QVERIFY(PanelAccepts(QByteArray(), commandExchange, 0));
    }

    void statusDecodesToTheSimulatorsState() {
        const QStringList settings[] = {
            {"set mute A off", "set mute B off", "set overgain A on", "set mugen B off",
             "set input none"},
            {"set mute A on", "set mute B on", "set overgain B on", "set mugen A on",
             "set input 6"},
            {"set mute A off", "set mute B on", "set overgain A off", "set mugen B on",
             "set input 1"},
        };
        int round = 0;
        for (const QStringList& lines : settings) {
            for (const QString& line : lines) {
                QVERIFY(sim_.Command(line).startsWith("ok "));
            }
            for (int level = round; level <= 30; level += 3) {
                QVERIFY(sim_.Command(QString("set level A %1").arg(level)).startsWith("ok "));
                QVERIFY(sim_.Command(QString("set level B %1").arg(30 - level)).startsWith("ok "));
                const QByteArray rast = Request("RAST", 74);
                QVERIFY(PanelAccepts(rast, Value(RequestKind::Status), 0));
                PanelState decoded;
                for (const Integer position : {31, 33, 68}) {
                    DecodeFlagByte(decoded, position, Byte(rast[position]));
                }
                for (const Integer position : {70, 71}) {
                    DecodeCodeByte(decoded, position, Byte(rast[position]));
                }
                for (const Integer position : {56, 57}) {
                    DecodeLevelByte(decoded, position, Byte(rast[position]));
                }
                const QJsonObject state = sim_.State();
                for (int m = 0; m < 2; ++m) {
                    const QJsonObject master = state["masters"].toArray()[m].toObject();
                    QCOMPARE(int(decoded.masters[m].level), master["level"].toInt());
                    QCOMPARE(decoded.masters[m].muted == flagTrue, master["muted"].toBool());
                    QCOMPARE(decoded.masters[m].lamps[overGain] == flagTrue,
                             master["overGain"].toBool());
                    QCOMPARE(decoded.masters[m].lamps[mugen] == flagTrue, master["mugen"].toBool());
                }
                // The simulator numbers inputs 1..6 (0 = none), the panel 0..5 (-1).
                QCOMPARE(int(decoded.selectedInput), state["selectedInput"].toInt() - 1);
                QCOMPARE(int(decoded.recall), state["recall"].toInt());
            }
            ++round;
        }
    }

    void spoiledStatusIsRejectedByThePanel() {
        QCOMPARE(sim_.Command("range"), QString("ok range"));
        QVERIFY(!PanelAccepts(Request("RAST", 74), Value(RequestKind::Status), 0));
        QCOMPARE(trafficLists.debug[0].ListCount(), 1);
        QCOMPARE(trafficLists.debug[0].List(0), QString("BIG ERROR"));
        QVERIFY(PanelAccepts(Request("RAST", 74), Value(RequestKind::Status), 0));
    }
};

QTEST_GUILESS_MAIN(TestSimAgreement)
#include "test_sim_agreement.moc"
