// The parts of the session-bus service that need neither a bus nor a mixer:
// the properties read from the shared state, what counts as a change, and
// the plan for letting go of a held level button.
#include "connection/levelmotion.h"
#include "connection/mixerview.h"
#include "core/state.h"
#include "tests/support/linkrecord.h"

#include <QtTest>

class TestServiceLogic : public QObject {
    Q_OBJECT

private slots:
    void init() { ResetEngineState(); }

    void viewReadsTheMirroredState() {
        mirror.panel.selectedInput = 2;
        mirror.panel.inputs[0].name = Text8("CAM 1");
        mirror.panel.inputs[5].name = Text8("  AUX   ");
        mirror.panel.inputs[3].status = 7;
        mirror.panel.masters[0].name = Text8("MASTER A");
        mirror.panel.masters[1].level = 23;
        mirror.panel.masters[1].muted = flagTrue;
        mirror.panel.masters[0].lamps[overGain] = flagTrue;
        mirror.panel.masters[0].lamps[mugen] = flagFalse;
        mirror.panel.masters[1].lamps[overGain] = flagFalse;
        mirror.panel.masters[1].lamps[mugen] = flagTrue;
        mirror.sceneNames[1] = Text8("NEWS");
        programSetup.sceneSetup.sceneNumbers = {49, 50, 51, 52};
        programSetup.sceneSetup.sceneBlocked[51 - firstSceneCode] = flagTrue;
        mirror.panel.recall = 51;

        // Before the mixer reported a status, its lamps read dark, as the panel shows them.
        const MixerView unreported =
            ReadMixerView(mirror, LinkState::Online, QStringLiteral("/dev/ttyUSB0"), false);
        QCOMPARE(unreported.overGain, (QList<bool>{false, false}));
        QCOMPARE(unreported.mugen, (QList<bool>{false, false}));
        const MixerView view =
            ReadMixerView(mirror, LinkState::Online, QStringLiteral("/dev/ttyUSB0"), true);
        QCOMPARE(view.connection, QStringLiteral("online"));
        QCOMPARE(view.port, QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(view.selectedInput, 3);
        QCOMPARE(view.inputNames.size(), 6);
        QCOMPARE(view.inputNames[0], QStringLiteral("CAM 1"));
        QCOMPARE(view.inputNames[5], QStringLiteral("AUX"));
        QCOMPARE(view.inputNames[1], QString());
        QCOMPARE(view.inputStatus, (QList<int>{-1, -1, -1, 7, -1, -1}));
        QCOMPARE(view.masterNames[0], QStringLiteral("MASTER A"));
        QCOMPARE(view.masterLevels, (QList<int>{0, 23}));
        QCOMPARE(view.masterMuted, (QList<bool>{false, true}));
        QCOMPARE(view.overGain, (QList<bool>{true, false}));
        QCOMPARE(view.mugen, (QList<bool>{false, true}));
        QCOMPARE(view.sceneNames[1], QStringLiteral("NEWS"));
        QCOMPARE(view.sceneCodes, (QList<int>{49, 50, 51, 52}));
        QCOMPARE(view.sceneLocked, (QList<bool>{false, false, true, false}));
        QCOMPARE(view.recalledScene, QStringLiteral("C"));

        // No input, no scene recalled (the mixer's "0"), a scene on no button.
        mirror.panel.selectedInput = -1;
        mirror.panel.recall = '0';
        QCOMPARE(ReadMixerView(mirror, LinkState::Online, QString(), true).selectedInput, 0);
        QCOMPARE(ReadMixerView(mirror, LinkState::Online, QString(), true).recalledScene,
                 QString());
        mirror.panel.recall = 60;
        QCOMPARE(ReadMixerView(mirror, LinkState::Online, QString(), true).recalledScene,
                 QString());
        // Codes that are no scene are never locked.
        programSetup.sceneSetup.sceneNumbers = {0, 50, 51, 99};
        QCOMPARE(ReadMixerView(mirror, LinkState::Online, QString(), true).sceneLocked,
                 (QList<bool>{false, false, true, false}));
    }

    void connectionNames() {
        QCOMPARE(ConnectionName(LinkState::NotConnected), QStringLiteral("not-connected"));
        QCOMPARE(ConnectionName(LinkState::FirstContact), QStringLiteral("first-contact"));
        QCOMPARE(ConnectionName(LinkState::Reading), QStringLiteral("reading"));
        QCOMPARE(ConnectionName(LinkState::Online), QStringLiteral("online"));
        QCOMPARE(ConnectionName(LinkState::Lost), QStringLiteral("lost"));
        QCOMPARE(ConnectionName(LinkState::Suspended), QStringLiteral("suspended"));
    }

    void onlyChangedPropertiesAreAnnounced() {
        const MixerView before =
            ReadMixerView(mirror, LinkState::Online, QStringLiteral("/dev/x"), true);
        QCOMPARE(PropertyMap(before).size(), 14);
        QVERIFY(ChangedProperties(before, before).isEmpty());
        QVERIFY(ChangedProperties(before, ReadMixerView(mirror, LinkState::Online,
                                                        QStringLiteral("/dev/x"), true))
                    .isEmpty());

        mirror.panel.masters[0].level = 17;
        mirror.panel.masters[1].muted = flagTrue;
        const MixerView after =
            ReadMixerView(mirror, LinkState::Online, QStringLiteral("/dev/x"), true);
        const QVariantMap changed = ChangedProperties(before, after);
        QCOMPARE(changed.keys(),
                 (QStringList{QStringLiteral("MasterLevels"), QStringLiteral("MasterMuted")}));
        QCOMPARE(changed.value(QStringLiteral("MasterLevels")).value<QList<int>>(),
                 (QList<int>{17, 0}));
        QCOMPARE(changed.value(QStringLiteral("MasterMuted")).value<QList<bool>>(),
                 (QList<bool>{false, true}));

        const QVariantMap link = ChangedProperties(
            after, ReadMixerView(mirror, LinkState::Lost, QStringLiteral("/dev/y"), true));
        QCOMPARE(link.keys(), (QStringList{QStringLiteral("Connection"), QStringLiteral("Port")}));
        QCOMPARE(link.value(QStringLiteral("Connection")).toString(), QStringLiteral("lost"));
    }

    // Without a status seen, the release is aimed at the middle of the
    // target step's 100 ms: the press's and the release's delays cancel.
    void releasePlannedFromThePress() {
        const LevelMotion up(10, 15, 1000);
        QCOMPARE(up.Direction(), 1);
        QVERIFY(!up.Down());
        QCOMPARE(up.ReleaseAtMs(), 1000 + 5 * 100 - 50);
        const LevelMotion down(20, 19, 5000);
        QVERIFY(down.Down());
        QCOMPARE(down.ReleaseAtMs(), 5000 + 50);
        // At the end of the range the mixer stops by itself: a step of margin.
        QCOMPARE(LevelMotion(10, 30, 0).ReleaseAtMs(), 20 * 100 + 50);
        QCOMPARE(LevelMotion(3, 0, 0).ReleaseAtMs(), 3 * 100 + 50);
    }

    void statusesCorrectThePlan() {
        // A status that agrees with the press leaves the plan as it is.
        LevelMotion motion(10, 20, 1000);
        const qint64 planned = motion.ReleaseAtMs();
        QVERIFY(!motion.Observe(12, 1150));
        QCOMPARE(motion.ReleaseAtMs(), planned);
        QVERIFY(!motion.Observe(14, 1360));
        QVERIFY(qAbs(motion.ReleaseAtMs() - planned) <= 10);

        // The mixer started half a second late (its first frame was refused
        // and went out again): the plan follows what the statuses show.
        LevelMotion late(10, 20, 1000);
        QVERIFY(!late.Observe(11, 1560));
        QVERIFY(late.EarliestStartMs() >= 1400);
        QVERIFY(late.ReleaseAtMs() >= 2300);
        QVERIFY(!late.Observe(13, 1780));
        const qint64 start = (late.EarliestStartMs() + late.LatestStartMs()) / 2;
        QVERIFY2(start >= 1500 && start <= 1600, qPrintable(QString::number(start)));
        QVERIFY(late.LatestStartMs() - late.EarliestStartMs() <= 140);

        // Not moved yet: the first step is still to come.
        LevelMotion waiting(5, 8, 0);
        QVERIFY(!waiting.Observe(5, 400));
        QVERIFY(waiting.EarliestStartMs() >= 360);
        QVERIFY(waiting.ReleaseAtMs() > 360 + 2 * 100);
    }

    void reachingTheTargetReleasesAtOnce() {
        LevelMotion up(10, 13, 0);
        QVERIFY(!up.Observe(12, 150));
        QVERIFY(up.Observe(13, 260));
        LevelMotion past(10, 13, 0);
        QVERIFY(past.Observe(15, 420));
        LevelMotion down(10, 4, 0);
        QVERIFY(!down.Observe(6, 420));
        QVERIFY(down.Observe(4, 640));
    }
};

QTEST_GUILESS_MAIN(TestServiceLogic)
#include "test_servicelogic.moc"
