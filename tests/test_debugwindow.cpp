// The debug window: its "ALL STATUS" switch, its lists following the traffic
// lists, its load and its close.
#include "core/state.h"
#include "serial/serial.h"
#include "tests/support/linkrecord.h"
#include "windows/frmcomm.h"
#include "windows/frmdebug.h"
#include "windows/windows.h"

#include <QtTest>

class TestDebugWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        qunsetenv("ARDENIX_PORT");
        host::SetMsgBoxHandler([](const QString&, int, const QString&) { return host::mbOk; });
    }
    void init() {
        ResetEngineState();
        host::SetTwipsPerPixel(15, 15);
    }
    void cleanup() {
        UnloadFrmDebug();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void allStatusSwitchesTheFilter() {
        FrmDebug& w = frmDebug();
        QCOMPARE(w.AllStatus->BackColor(), buttonFaceColor);
        QCOMPARE(w.Close->BackColor(), std::uint32_t(0x00C8D0D4));
        QCOMPARE(w.AllStatus->text(), QStringLiteral("ALL STATUS"));
        QCOMPARE(w.Close->text(), QStringLiteral("Close"));

        QTest::mouseClick(w.AllStatus, Qt::LeftButton);
        QCOMPARE(programSetup.statusLogFilter, flagTrue);
        QCOMPARE(w.AllStatus->BackColor(), std::uint32_t(0x005AEB87));
        // The colour really reaches the button: RGB 135, 235, 90.
        QVERIFY(w.AllStatus->styleSheet().contains(QStringLiteral("rgb(135, 235, 90)")));

        QTest::mouseClick(w.AllStatus, Qt::LeftButton);
        QCOMPARE(programSetup.statusLogFilter, flagFalse);
        QCOMPARE(w.AllStatus->BackColor(), std::uint32_t(0x00C8D0D4));
        QVERIFY(w.AllStatus->styleSheet().contains(QStringLiteral("rgb(212, 208, 200)")));

        // Any non-zero value counts as "on": the next press switches it off.
        programSetup.statusLogFilter = 1;
        w.AllStatus_Click();
        QCOMPARE(programSetup.statusLogFilter, flagFalse);
        QCOMPARE(w.AllStatus->BackColor(), buttonFaceColor);
    }

    void loadPlacesAndEmpties() {
        for (ListBox& list : trafficLists.debug) {
            list.AddItem(QStringLiteral("left over"));
        }
        FrmDebug& w = frmDebug();
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(trafficLists.debug[i].ListCount(), 0);
            QCOMPARE(w.List1[i]->count(), 0);
            QCOMPARE(w.Label2[i]->text(), QStringLiteral("Label2"));
        }
        QCOMPARE(w.pos(), QPoint(0, 0));
        QCOMPARE(w.size(), QSize(547, 410)); // 8205 x 6150 twips at 15 twips per pixel
        QCOMPARE(w.List1[1]->geometry(), QRect(328, 32, 193, 160));
        QCOMPARE(w.AllStatus->geometry(), QRect(88, 368, 89, 25));
        QVERIFY(w.windowTitle().isEmpty());
    }

    void listsFollowTheTrafficLists() {
        FrmDebug& w = frmDebug();
        trafficLists.debug[0].InsertItem(QStringLiteral("52415354   "));
        trafficLists.debug[0].InsertItem(QStringLiteral("TIMEOUT ERROR"));
        trafficLists.debug[3].AddItem(QStringLiteral("first"));
        trafficLists.debug[3].AddItem(QStringLiteral("second"));
        QCOMPARE(w.List1[0]->count(), 2);
        QCOMPARE(w.List1[0]->item(0)->text(), QStringLiteral("TIMEOUT ERROR"));
        QCOMPARE(w.List1[0]->item(1)->text(), QStringLiteral("52415354   "));
        QCOMPARE(w.List1[3]->item(1)->text(), QStringLiteral("second"));
        QCOMPARE(w.List1[1]->count(), 0);
        trafficLists.debug[0].Clear();
        QCOMPARE(w.List1[0]->count(), 0);
        QCOMPARE(w.List1[3]->count(), 2);
        // The communication window's lists are not these.
        trafficLists.comm[3].AddItem(QStringLiteral("elsewhere"));
        QCOMPARE(w.List1[3]->count(), 2);
    }

    void closeLeavesTheWindowOff() {
        FrmDebug& shown = frmDebug();
        shown.Show();
        QVERIFY(shown.isVisible());
        QPointer<FrmDebug> old(&shown);
        QTest::mouseClick(shown.Close, Qt::LeftButton);
        QVERIFY(!FrmDebugLoaded());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(old.isNull());

        // Lines logged afterwards go to the lists, and no window comes back.
        trafficLists.debug[0].InsertItem(QStringLiteral("TIMEOUT ERROR"));
        trafficLists.debug[2].InsertItem(QStringLiteral("41   "));
        QCoreApplication::processEvents();
        QVERIFY(!FrmDebugLoaded());
        for (QWidget* top : QApplication::topLevelWidgets()) {
            QVERIFY(!(dynamic_cast<FrmDebug*>(top) != nullptr && top->isVisible()));
        }
        QCOMPARE(trafficLists.debug[0].ListCount(), 1);

        // Touched again, the window loads anew (emptied) and follows the lists again.
        FrmDebug& again = frmDebug();
        QVERIFY(!again.isVisible());
        QCOMPARE(trafficLists.debug[0].ListCount(), 0);
        trafficLists.debug[1].InsertItem(QStringLiteral("RAST"));
        QCOMPARE(again.List1[1]->count(), 1);
    }

    void communicationWindowShowsItsLists() {
        FrmComm& w = frmComm();
        QCOMPARE(w.windowTitle(), QStringLiteral("通信[Dorvane]"));
        QCOMPARE(w.Frame1[0]->title(), QStringLiteral("Send"));
        QCOMPARE(w.Frame1[1]->title(), QStringLiteral("Recive"));
        QCOMPARE(w.Command1->text(), QStringLiteral("OK"));
        QCOMPARE(w.pos(), QPoint(0, 0));
        trafficLists.comm[0].AddItem(QStringLiteral("52415354"));
        trafficLists.comm[0].AddItem(QStringLiteral("2B"));
        trafficLists.comm[3].InsertItem(QStringLiteral("A"));
        QCOMPARE(w.List1[0]->count(), 2);
        QCOMPARE(w.List1[0]->item(1)->text(), QStringLiteral("2B"));
        QCOMPARE(w.List1[3]->item(0)->text(), QStringLiteral("A"));
        QCOMPARE(w.List1[1]->count(), 0);
        // The debug window's lists are others.
        trafficLists.debug[0].AddItem(QStringLiteral("elsewhere"));
        QCOMPARE(w.List1[0]->count(), 2);
        trafficLists.comm[0].Clear();
        QCOMPARE(w.List1[0]->count(), 0);
        // The sent frames' lists sit in "Send", the received ones in "Recive".
        QCOMPARE(w.List1[1]->parentWidget(), w.Frame1[0]);
        QCOMPARE(w.List1[2]->parentWidget(), w.Frame1[1]);
    }

    void unloadedWindowStopsFollowing() {
        // Unload and reload before the old window is deleted: the new one
        // keeps the lists; the old one's deletion does not take them away.
        frmDebug();
        UnloadFrmDebug();
        FrmDebug& fresh = frmDebug();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        trafficLists.debug[2].AddItem(QStringLiteral("41"));
        QCOMPARE(fresh.List1[2]->count(), 1);
    }
};

QTEST_MAIN(TestDebugWindow)
#include "test_debugwindow.moc"
