// The mixer's operations with the engine alone (the supervisor and the
// operations, no panel and no window system linked) against the simulated
// mixer: every result a caller can get, and what a caller holds belongs to it.
#include "connection/operations.h"
#include "connection/supervisor.h"
#include "core/observers.h"
#include "core/state.h"
#include "protocol/protocol.h"
#include "serial/serial.h"
#include "tests/support/linkrecord.h"
#include "tests/support/simprocess.h"

#include <QtTest>

using engine::Caller;
using engine::CommandResult;

class TestOperations : public QObject {
    Q_OBJECT

private slots:
    void everyResultWithoutAWindow() {
        ResetEngineState();
        SetFirstPanelValues(mirror);
        InitProtocolTables(linkRecord, mirror);
        SimProcess sim;
        QVERIFY(sim.Start());
        qputenv("ARDENIX_PORT", sim.LinkPath().toLocal8Bit());
        auto supervisor = std::make_unique<connection::Supervisor>(linkRecord, mirror, comm());
        SetLinkEvents({[&supervisor] { supervisor->LinkLostWhileSending(); }, {}});
        supervisor->SetFrontEnd({[](MessageKind) {}, {}, {}});
        engine::MixerOperations operations{linkRecord, mirror};
        Subscribe(operations);
        engine::SetExchangeEndedHandler([&operations] { operations.ExchangeEnded(); });
        const Caller one{Caller::Kind::Remote, 100};
        const Caller other{Caller::Kind::Remote, 101};
        const auto state = [&sim] {
            return QJsonDocument::fromJson(sim.Command(QStringLiteral("state")).toUtf8()).object();
        };

        // Before the link is online a remote caller changes nothing.
        QCOMPARE(operations.SelectInput(one, 2), CommandResult::NotConnected);
        QVERIFY(!linkRecord.anyChangePending);
        supervisor->Start();
        QTRY_COMPARE_WITH_TIMEOUT(CurrentLinkState(), LinkState::Online, 5000);

        QCOMPARE(operations.SelectInput(one, 6), CommandResult::Invalid);
        QCOMPARE(operations.SetLevel(one, 0, 31, {}), CommandResult::Invalid);
        QCOMPARE(operations.SelectInput(one, 2), CommandResult::Done);
        QTRY_COMPARE_WITH_TIMEOUT(state()[QLatin1String("selectedInput")].toInt(), 3, 2000);

        // A muted master's level buttons do nothing.
        QCOMPARE(operations.SetMute(one, 0, true), CommandResult::Done);
        QCOMPARE(operations.PressLevel(one, 0, false), CommandResult::Muted);
        QCOMPARE(operations.SetLevel(one, 0, 10, {}), CommandResult::Muted);

        // Scenes: a locked one, a button without a scene, a recall under way.
        const Integer code = programSetup.sceneSetup.sceneNumbers[1];
        QVERIFY(code >= firstSceneCode && code <= lastSceneCode);
        programSetup.sceneSetup.sceneBlocked[static_cast<std::size_t>(code - firstSceneCode)] =
            flagTrue;
        QCOMPARE(operations.RecallScene(one, 1, {}), CommandResult::SceneLocked);
        programSetup.sceneSetup.sceneBlocked[static_cast<std::size_t>(code - firstSceneCode)] =
            flagFalse;
        const Integer kept = programSetup.sceneSetup.sceneNumbers[3];
        programSetup.sceneSetup.sceneNumbers[3] = 0;
        QCOMPARE(operations.RecallScene(one, 3, {}), CommandResult::Disabled);
        programSetup.sceneSetup.sceneNumbers[3] = kept;
        std::optional<CommandResult> recalled;
        QCOMPARE(operations.RecallScene(one, 0, [&recalled](CommandResult r) { recalled = r; }),
                 CommandResult::Done);
        QCOMPARE(operations.RecallScene(other, 2, {}), CommandResult::Busy);
        QTRY_VERIFY_WITH_TIMEOUT(recalled.has_value(), 2000);
        QCOMPARE(*recalled, CommandResult::Done);
        QCOMPARE(state()[QLatin1String("recall")].toInt(), programSetup.sceneSetup.sceneNumbers[0]);

        // A level button belongs to its caller: another is refused, its
        // release sends nothing, and the holder's leaving stops the level.
        QCOMPARE(operations.SetMute(one, 1, false), CommandResult::Done);
        QCOMPARE(operations.PressLevel(one, 1, false), CommandResult::Done);
        QCOMPARE(operations.PressLevel(other, 0, true), CommandResult::Busy);
        qsizetype from = sim.Log().size();
        QCOMPARE(operations.ReleaseLevel(other, 1), CommandResult::Done);
        QTest::qWait(100);
        QVERIFY(!sim.Codes(from).contains(QStringLiteral("CLVS")));
        operations.LetGo(one.holder);
        QTRY_VERIFY_WITH_TIMEOUT(sim.Codes(from).contains(QStringLiteral("CLVS")), 2000);
        QVERIFY(!operations.HoldsAnything());

        // SetLevel reaches its step; the link lost meanwhile ends it at once.
        std::optional<std::pair<CommandResult, int>> reached;
        QCOMPARE(operations.SetLevel(other, 1, 5,
                                     [&reached](CommandResult r, int step) {
                                         reached = {r, step};
                                     }),
                 CommandResult::Done);
        QTRY_VERIFY_WITH_TIMEOUT(reached.has_value(), 10000);
        QCOMPARE(reached->first, CommandResult::Done);
        QVERIFY2(qAbs(reached->second - 5) <= 1, qPrintable(QString::number(reached->second)));
        reached.reset();
        QCOMPARE(operations.SetLevel(other, 1, 30,
                                     [&reached](CommandResult r, int step) {
                                         reached = {r, step};
                                     }),
                 CommandResult::Done);
        QTest::qWait(400);
        QCOMPARE(sim.Command(QStringLiteral("unplug")), QStringLiteral("ok unplug"));
        QTRY_VERIFY_WITH_TIMEOUT(reached.has_value(), 3000);
        QCOMPARE(reached->first, CommandResult::NotConnected);
        QCOMPARE(operations.SelectInput(one, 1), CommandResult::NotConnected);

        supervisor->Close();
        engine::SetExchangeEndedHandler({});
        SetLinkEvents({});
        supervisor.reset();
        qunsetenv("ARDENIX_PORT");
        DestroyCommControls();
    }
};

QTEST_GUILESS_MAIN(TestOperations)
#include "test_operations.moc"
