// libFuzzer target: any bytes as an OSC datagram from an allowed sender, and
// as a stream of SLIP frames. A packet the decoder accepts must encode and
// decode again to the same bytes; the server dispatches whatever decodes
// (the mixer is not connected, so every command is refused) and reads
// nothing outside the packet.
#include "connection/operations.h"
#include "core/state.h"
#include "osc/osccodec.h"
#include "osc/oscserver.h"

#include <QCoreApplication>
#include <QHostAddress>

#include <cstdint>
#include <cstdlib>

namespace {

// The mirror of the mixer and the exchange with it, as the program's main
// owns them.
MixerMirror mirror;
LinkRecord linkRecord;

struct Program {
    int argc = 1;
    char name[10] = "fuzz_osc";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    engine::MixerOperations operations{linkRecord, mirror};
    osc::OscServer server{operations, [] {
                              osc::OscSettings settings;
                              settings.maxCommandsPerSecond = 1 << 30;
                              return settings;
                          }()};
};

void CheckRoundTrip(const QList<osc::Message>& messages) {
    for (const osc::Message& message : messages) {
        const QByteArray bytes = osc::EncodeMessage(message);
        const auto again = osc::DecodePacket(bytes);
        if (!again || again->size() != 1 || osc::EncodeMessage(again->first()) != bytes) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Program program;
    // An exact copy, so that a read past the end is a read past the allocation.
    const QByteArray packet(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const auto messages = osc::DecodePacket(packet)) {
        CheckRoundTrip(*messages);
    }
    program.server.HandleDatagram(QHostAddress(QHostAddress::LocalHost), 9000, packet);

    osc::SlipDecoder stream(4096);
    const qsizetype half = packet.size() / 2;
    for (const QByteArray& frame : stream.Feed(QByteArrayView(packet).first(half)) +
                                       stream.Feed(QByteArrayView(packet).sliced(half))) {
        if (frame.isEmpty() || frame.size() > 4096) {
            std::abort();
        }
        if (const auto messages = osc::DecodePacket(frame)) {
            CheckRoundTrip(*messages);
        }
    }
    return 0;
}
