// Sends a real CMUT (master A on) and a RAST request through the serial link
// to a pseudo-terminal, prints the bytes the mixer's side sees, answers them
// as the mixer would, and prints what the connection's receive step made of
// each answer.
#include "connection/supervisor.h"
#include "core/state.h"
#include "protocol/protocol.h"
#include "protocol/replytables.h"
#include "serial/serial.h"
#include "tests/support/ptypeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

// The mirror of the mixer and the exchange with it, as the program's main
// owns them.
MixerMirror mirror;
LinkRecord linkRecord;

void Print(const char* label, const QByteArray& bytes) {
    std::printf("%-22s %s  (%lld bytes)\n", label, bytes.toHex(' ').toUpper().constData(),
                static_cast<long long>(bytes.size()));
}

// Processes events until the awaited reply is over or two seconds passed.
double WaitForReply() {
    QElapsedTimer clock;
    clock.start();
    while (linkRecord.exchange[replyRecord].busy == flagTrue && clock.elapsed() < 2000) {
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
    programSetup.systemState.portIsOpen = ToFlag(OpenPort(comm()));
    std::printf("port %s opened: %s\n", qPrintable(mixer.SlavePath()),
                programSetup.systemState.portIsOpen == flagTrue ? "yes" : "no");
    if (programSetup.systemState.portIsOpen != flagTrue) {
        return 1;
    }
    InitProtocolTables(linkRecord, mirror);
    // The connection answers the link's events, as in the program.
    const connection::Supervisor supervisor(linkRecord, mirror, comm());

    // MASTER A muted: the panel's muting button.
    mirror.panel.masters[0].muted = flagTrue;
    MarkChange(linkRecord, CommandKind::Mute);
    SendPendingChange(linkRecord, mirror);
    Print("CMUT on the line:", mixer.Read(7));
    mixer.Write("A\r");
    Print("mixer answers:", "A\r");
    double ms = WaitForReply();
    std::printf("reply status %d, data bytes %d, frame still waiting: %s (%.2f ms)\n",
                linkRecord.exchange[replyRecord].status, linkRecord.exchange[replyRecord].length,
                linkRecord.exchange[sendRecord].busy == flagTrue ? "yes" : "no", ms);

    // The status poll.
    if (!BuildRequest(linkRecord, RequestKind::Status, 0, {0, 0})) {
        std::fprintf(stderr, "wire-roundtrip: a frame is still waiting\n");
        return 1;
    }
    TransmitPending(linkRecord);
    Print("RAST on the line:", mixer.Read(5));
    // Every byte at the lowest value its position accepts.
    const QByteArray status = replyChecks[checkStatus].minBytes;
    mixer.Write("A" + status + "\r");
    std::printf("mixer answers:         \"A\" + 74 data bytes + CR (76 bytes)\n");
    ms = WaitForReply();
    std::printf(
        "reply status %d, data bytes %d, replyBuffer(0..9) \"%s\" (%.2f ms)\n",
        linkRecord.exchange[replyRecord].status, linkRecord.exchange[replyRecord].length,
        QByteArray(reinterpret_cast<const char*>(linkRecord.replyBuffer.data()), 10).constData(),
        ms);
    const bool intact =
        QByteArray(reinterpret_cast<const char*>(linkRecord.replyBuffer.data()), 74) == status;
    std::printf("reply data intact: %s\n", intact ? "yes" : "no");
    ClosePort(comm());
    return linkRecord.exchange[replyRecord].status == Value(LinkResult::Accepted) && intact ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int status = Run();
    DestroyCommControls();
    return status;
}
