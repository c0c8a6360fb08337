// Sends a real CMUT (master A on) and a RAST request through the serial link
// to a pseudo-terminal, prints the bytes the mixer's side sees, answers them
// as the mixer would, and prints what ReceiveReply made of each answer.
#include "core/state.h"
#include "link/commcontrols.h"
#include "link/link.h"
#include "protocol/protocol.h"
#include "tests/ptypeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

Integer lastResult = 0;

void Print(const char* label, const QByteArray& bytes) {
    std::printf("%-22s %s  (%lld bytes)\n", label, bytes.toHex(' ').toUpper().constData(),
                static_cast<long long>(bytes.size()));
}

// Processes events until the awaited reply is over or two seconds passed.
double WaitForReply() {
    QElapsedTimer clock;
    clock.start();
    while (exchange[replyRecord].busy == flagTrue && lastResult == 0 && clock.elapsed() < 2000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

int Run() {
    PtyPeer mixer;
    if (!mixer.Valid()) {
        std::fprintf(stderr, "wire-roundtrip: no pseudo-terminal\n");
        return 1;
    }
    qputenv("ARDENIX_PORT", mixer.SlavePath().toLocal8Bit());
    systemState.portIsOpen = ToFlag(OpenPort(comm()));
    std::printf("port %s opened: %s\n", qPrintable(mixer.SlavePath()),
                systemState.portIsOpen == flagTrue ? "yes" : "no");
    if (systemState.portIsOpen != flagTrue) {
        return 1;
    }
    comm().MSComm1.SetOnComm([](int commEvent) {
        if (commEvent == SerialPort::comEvReceive && exchange[replyRecord].busy == flagTrue) {
            const Integer r = ReceiveReply(comm(), replyBuffer, exchange[replyRecord].length);
            if (r != 0) {
                lastResult = r;
                exchange[replyRecord].busy = flagFalse;
            }
        }
    });

    // MASTER A muted: the panel's muting button.
    panelState.masters[0].muted = flagTrue;
    MarkChange(kindMute);
    SendPendingChange();
    Print("CMUT on the line:", mixer.Read(7));
    lastResult = 0;
    mixer.Write("A\r");
    Print("mixer answers:", "A\r");
    double ms = WaitForReply();
    std::printf("ReceiveReply -> %d, data bytes %d, frame still waiting: %s (%.2f ms)\n",
                lastResult, exchange[replyRecord].length,
                exchange[sendRecord].busy == flagTrue ? "yes" : "no", ms);

    // The status poll.
    if (!BuildRequest(requestStatus, 0, {0, 0})) {
        std::fprintf(stderr, "wire-roundtrip: a frame is still waiting\n");
        return 1;
    }
    TransmitPending();
    Print("RAST on the line:", mixer.Read(5));
    QByteArray status;
    for (int i = 0; i < 74; ++i) {
        status.append(static_cast<char>('0' + i % 10));
    }
    lastResult = 0;
    mixer.Write("A" + status + "\r");
    std::printf("mixer answers:         \"A\" + 74 data bytes + CR (76 bytes)\n");
    ms = WaitForReply();
    std::printf("ReceiveReply -> %d, data bytes %d, replyBuffer(0..9) \"%s\" (%.2f ms)\n",
                lastResult, exchange[replyRecord].length,
                QByteArray(reinterpret_cast<const char*>(replyBuffer.data()), 10).constData(), ms);
    const bool intact = QByteArray(reinterpret_cast<const char*>(replyBuffer.data()), 74) == status;
    std::printf("reply data intact: %s\n", intact ? "yes" : "no");
    ClosePort(comm());
    return lastResult == linkAccepted && intact ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int status = Run();
    DestroyCommControls();
    return status;
}
