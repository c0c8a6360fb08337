// libFuzzer target: any bytes as a remote request. They are read as an HTTP
// head (with the Host and Origin checks and the query's token), and, split at
// the first line feed, as a method's name and a JSON body run through the
// calls the HTTP and WebSocket clients make, with the mixer not connected.
// Every call must be answered exactly once, with a known status, and a
// refused argument must never be echoed back whole.
#include "connection/operations.h"
#include "core/state.h"
#include "remote/httprequest.h"
#include "remote/remotecalls.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>

namespace {

// The mirror of the mixer and the exchange with it, as the program's main
// owns them.
MixerMirror mirror;
LinkRecord linkRecord;

QCoreApplication& Application() {
    static int argc = 1;
    static char name[] = "fuzz_remote_requests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    return application;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Application();
    static engine::MixerOperations operations{linkRecord, mirror};
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    http::RequestHead head;
    qsizetype length = 0;
    if (http::ParseHead(bytes, &head, &length) == http::HeadStatus::Complete) {
        if (length <= 0 || length > bytes.size() || head.bodyLength < 0 ||
            !head.path.startsWith('/')) {
            std::abort();
        }
        static_cast<void>(http::HostAllowed(head.Header("host"), QStringLiteral("stage")));
        static_cast<void>(http::SameOrigin(head.Header("origin"), head.Header("host")));
        static_cast<void>(http::QueryValue(head.query, "token"));
    }

    const qsizetype newline = bytes.indexOf('\n');
    const QString method = QString::fromUtf8(newline < 0 ? bytes : bytes.left(newline));
    const QByteArray body = newline < 0 ? QByteArray() : bytes.mid(newline + 1);
    const auto params = remotecalls::ParamsOfBody(body);
    if (!params) {
        return 0;
    }
    int answers = 0;
    const engine::Caller caller{engine::Caller::Kind::Remote, 99};
    remotecalls::Run(operations, caller, method, *params, nullptr,
                     [&answers](const remotecalls::Outcome& outcome) {
                         ++answers;
                         const int status = remotecalls::HttpStatus(outcome.error);
                         if (status != 200 && status != 400 && status != 404 && status != 409 &&
                             status != 423) {
                             std::abort();
                         }
                         // The link is down: nothing succeeds.
                         if (outcome.error.isEmpty()) {
                             std::abort();
                         }
                         if (outcome.message.size() > 200) {
                             std::abort();
                         }
                     });
    if (answers != 1) {
        std::abort();
    }
    operations.LetGo(caller.holder);
    return 0;
}
