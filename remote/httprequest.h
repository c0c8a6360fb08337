// The head of an HTTP/1.x request as the remote reads it, and the checks a
// browser's request must pass: the Host it was sent to and the Origin it
// came from.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

namespace http {

// The longest head read; a longer one is refused.
inline constexpr qsizetype longestHead = 16 * 1024;

struct RequestHead {
    QByteArray method;   // "GET"
    QByteArray path;     // "/api/v1/state", without the query
    QByteArray query;    // "token=...", without the "?"
    bool http10 = false; // HTTP/1.0: the connection ends after the answer
    QList<std::pair<QByteArray, QByteArray>> headers; // names in lower case
    qsizetype bodyLength = 0;                         // Content-Length, 0 when absent

    // The value of the header named (lower case); empty when absent.
    QByteArray Header(const char* name) const;
    bool Has(const char* name) const;
};

enum class HeadStatus {
    Incomplete, // more bytes are needed
    Complete,
    Malformed,
    TooLong, // longer than longestHead
};

// Parses the head at the start of `data`: on Complete, `head` holds it and
// `length` the bytes it took (through the empty line).
HeadStatus ParseHead(const QByteArray& data, RequestHead* head, qsizetype* length);

// A Host header that a browser sends to this machine by its address or name:
// an IP literal ("[::1]" for IPv6), "localhost", or `hostName` (also with
// ".local"), each with or without a port. Anything else may be a name that a
// foreign site made point here (DNS rebinding).
bool HostAllowed(const QByteArray& host, const QString& hostName);

// Whether an Origin header names the origin the request was sent to (scheme
// http, the same host and port as `host`).
bool SameOrigin(const QByteArray& origin, const QByteArray& host);

// The value of a parameter of a query ("a=1&token=x"), percent-decoded;
// nothing when absent.
std::optional<QByteArray> QueryValue(const QByteArray& query, const QByteArray& name);

// The reason phrase of a status code.
QByteArray ReasonPhrase(int status);

} // namespace http
