// bench-press: from a button press on the panel to the last byte of its frame
// at the mixer's side of the line, in-process over a pseudo-terminal (no wire
// time). The presses alternate between the muting button of MASTER A (on and
// off) and the six input buttons in turn; the mixer's side answers each frame
// with "A" before the next press.
#include "bench/stats.h"
#include "connection/supervisor.h"
#include "core/hostfacts.h"
#include "core/state.h"
#include "host/host.h"
#include "panel/frmcontrol.h"
#include "protocol/protocol.h"
#include "serial/serial.h"
#include "tests/support/linkrecord.h"
#include "tests/support/panelwiring.h"
#include "tests/support/ptypeer.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QtTest>

#include <cstdio>
#include <vector>

namespace {

using bench::Maximum;
using bench::Median;
using bench::Quantile;

bool WaitForAcknowledgement() {
    QElapsedTimer clock;
    clock.start();
    while (linkRecord.exchange[replyRecord].busy == flagTrue && clock.elapsed() < 2000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return linkRecord.exchange[replyRecord].busy != flagTrue;
}

struct Series {
    const char* name;
    std::vector<double> ms;
};

void PrintSeries(const Series& s) {
    std::printf("%-22s n=%5zu  median %7.3f ms  p99 %7.3f ms  max %7.3f ms\n", s.name, s.ms.size(),
                Median(s.ms), Quantile(s.ms, 0.99), Maximum(s.ms));
}

int Run(int presses) {
    host::SetProgramDirectory(QCoreApplication::applicationDirPath());
    host::SetTwipsPerPixel(15, 15);
    host::SetMsgBoxHandler([](const QString& text, int, const QString&) {
        std::fprintf(stderr, "bench-press: message box: %s\n", qPrintable(text));
        return 1;
    });
    ResetSharedState();
    programSetup.systemState.localeCode = 1;
    programSetup.labelFont = FontSpec{QStringLiteral("Arial"), 8, true, 0};
    InitProtocolTables(linkRecord, mirror);
    // The buttons act through the operations, as in the program.
    PanelWiring wiring;
    FrmControl& form = frmControl();
    form.show();
    QCoreApplication::processEvents();

    PtyPeer mixer; // the mixer's side of the pseudo-terminal pair
    if (!mixer.Valid()) {
        std::fprintf(stderr, "bench-press: no pseudo-terminal\n");
        return 1;
    }
    qputenv("ARDENIX_PORT", mixer.SlavePath().toLocal8Bit());
    programSetup.systemState.portIsOpen = ToFlag(OpenPort(comm()));
    if (programSetup.systemState.portIsOpen != flagTrue) {
        std::fprintf(stderr, "bench-press: the port did not open\n");
        return 1;
    }
    programSetup.systemState.deviceResponding = flagTrue;
    // The connection answers the link's events, as in the program.
    const connection::Supervisor supervisor(linkRecord, mirror, comm());

    Series mute{"mute (SSCommand3(0))", {}};
    Series input{"inputs (SSCommand1)", {}};
    Series all{"all presses", {}};
    int nextInput = 1;
    const QPoint inside(10, 10);
    for (int i = 0; i < presses; ++i) {
        const bool isMute = i % 2 == 0;
        SSCommand& button = isMute ? form.SSCommand3[0] : form.SSCommand1[nextInput];
        QElapsedTimer clock;
        clock.start();
        QTest::mousePress(&button, Qt::LeftButton, {}, inside);
        const QByteArray frame = mixer.ReadFrame(1000);
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        QTest::mouseRelease(&button, Qt::LeftButton, {}, inside);
        const QByteArray expectedCode = isMute ? "CMUT" : "CSEL";
        if (!frame.startsWith(expectedCode)) {
            std::fprintf(stderr, "bench-press: press %d gave %s instead of a %s frame\n", i,
                         frame.isEmpty() ? "nothing" : frame.toHex(' ').constData(),
                         expectedCode.constData());
            return 1;
        }
        (isMute ? mute : input).ms.push_back(ms);
        all.ms.push_back(ms);
        if (!isMute) {
            nextInput = (nextInput + 1) % 6;
        }
        mixer.Write("A\r");
        if (!WaitForAcknowledgement()) {
            std::fprintf(stderr, "bench-press: the panel did not take the mixer's \"A\"\n");
            return 1;
        }
    }
    std::printf("bench-press: %d presses, press to the frame's carriage return readable at the "
                "mixer's side (pseudo-terminal, no wire time)\n",
                presses);
    PrintSeries(mute);
    PrintSeries(input);
    PrintSeries(all);
    const double p99 = Quantile(all.ms, 0.99);
    std::printf("target p99 < 2 ms: %s\n", p99 < 2.0 ? "met" : "NOT met");
    ClosePort(comm());
    programSetup.systemState.portIsOpen = flagFalse;
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Press to frame, in-process."));
    parser.addHelpOption();
    const QCommandLineOption pressesOption(QStringLiteral("presses"),
                                           QStringLiteral("Number of presses (default 1000)."),
                                           QStringLiteral("N"));
    parser.addOption(pressesOption);
    parser.process(app);
    bool ok = true;
    const int presses = parser.isSet(pressesOption) ? parser.value(pressesOption).toInt(&ok) : 1000;
    if (!ok || presses < 2 || presses > 1000000) {
        std::fprintf(stderr, "--presses needs a number 2..1000000\n");
        return 2;
    }
    const int status = Run(presses);
    std::fflush(stdout);
    DestroyCommControls();
    host::EndProgram();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
