#include "remote/httprequest.h"

#include <QHostAddress>
#include <QUrl>

namespace http {

namespace {

bool IsTokenChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool IsToken(QByteArrayView text) {
    if (text.isEmpty()) {
        return false;
    }
    for (const char c : text) {
        if (!IsTokenChar(c)) {
            return false;
        }
    }
    return true;
}

// A host and port split; the port is 80 when none is given. Nothing when the
// text is not host[:port] with a numeric port.
struct HostPort {
    QByteArray host; // lower case; an IPv6 literal keeps its brackets
    int port = 80;
};

std::optional<HostPort> SplitHost(const QByteArray& text) {
    HostPort result;
    QByteArray portText;
    if (text.startsWith('[')) {
        const qsizetype end = text.indexOf(']');
        if (end < 0) {
            return std::nullopt;
        }
        result.host = text.left(end + 1).toLower();
        const QByteArray rest = text.mid(end + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(':')) {
                return std::nullopt;
            }
            portText = rest.mid(1);
        }
    } else {
        const qsizetype colon = text.indexOf(':');
        if (colon >= 0) {
            portText = text.mid(colon + 1);
            result.host = text.left(colon).toLower();
        } else {
            result.host = text.toLower();
        }
    }
    if (result.host.isEmpty()) {
        return std::nullopt;
    }
    if (!text.startsWith('[') && text.indexOf(':') >= 0 && portText.isEmpty()) {
        return std::nullopt;
    }
    if (!portText.isEmpty()) {
        if (portText.size() > 5) {
            return std::nullopt;
        }
        for (const char c : portText) {
            if (c < '0' || c > '9') {
                return std::nullopt;
            }
        }
        result.port = portText.toInt();
        if (result.port > 65535) {
            return std::nullopt;
        }
    }
    return result;
}

bool IsIpv4Literal(const QByteArray& host) {
    const QList<QByteArray> parts = host.split('.');
    if (parts.size() != 4) {
        return false;
    }
    for (const QByteArray& part : parts) {
        if (part.isEmpty() || part.size() > 3) {
            return false;
        }
        for (const char c : part) {
            if (c < '0' || c > '9') {
                return false;
            }
        }
        if (part.toInt() > 255) {
            return false;
        }
    }
    return true;
}

bool IsIpv6Literal(const QByteArray& host) {
    if (!host.startsWith('[') || !host.endsWith(']')) {
        return false;
    }
    const QByteArray inner = host.mid(1, host.size() - 2);
    if (inner.contains('%')) {
        return false; // a zone index has no place in a Host header
    }
    QHostAddress address;
    return address.setAddress(QString::fromLatin1(inner)) &&
           address.protocol() == QAbstractSocket::IPv6Protocol;
}

} // namespace

QByteArray RequestHead::Header(const char* name) const {
    for (const auto& [key, value] : headers) {
        if (key == name) {
            return value;
        }
    }
    return {};
}

bool RequestHead::Has(const char* name) const {
    for (const auto& header : headers) {
        if (header.first == name) {
            return true;
        }
    }
    return false;
}

HeadStatus ParseHead(const QByteArray& data, RequestHead* head, qsizetype* length) {
    const qsizetype end = data.indexOf("\r\n\r\n");
    if (end < 0) {
        return data.size() > longestHead ? HeadStatus::TooLong : HeadStatus::Incomplete;
    }
    if (end + 4 > longestHead) {
        return HeadStatus::TooLong;
    }
    *head = RequestHead();
    *length = end + 4;
    const QList<QByteArray> lines = data.left(end).split('\n');
    for (const QByteArray& line : lines) {
        if (!line.endsWith('\r') && &line != &lines.last()) {
            return HeadStatus::Malformed; // a bare line feed
        }
    }
    const auto lineAt = [&lines](qsizetype i) {
        QByteArray line = lines.at(i);
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        return line;
    };
    const QList<QByteArray> request = lineAt(0).split(' ');
    if (request.size() != 3 || !IsToken(request.at(0)) || !request.at(1).startsWith('/')) {
        return HeadStatus::Malformed;
    }
    if (request.at(2) == "HTTP/1.0") {
        head->http10 = true;
    } else if (request.at(2) != "HTTP/1.1") {
        return HeadStatus::Malformed;
    }
    head->method = request.at(0);
    const QByteArray& target = request.at(1);
    for (const char c : target) {
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7f) {
            return HeadStatus::Malformed;
        }
    }
    const qsizetype question = target.indexOf('?');
    head->path = question < 0 ? target : target.left(question);
    head->query = question < 0 ? QByteArray() : target.mid(question + 1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lineAt(i);
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !IsToken(QByteArrayView(line).first(colon))) {
            return HeadStatus::Malformed; // also a folded line (it starts with a blank)
        }
        const QByteArray name = line.left(colon).toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        for (const char c : value) {
            if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f) {
                return HeadStatus::Malformed;
            }
        }
        // One Host, one length: two could be read two ways.
        if ((name == "host" || name == "content-length" || name == "origin" ||
             name == "authorization") &&
            head->Has(name.constData())) {
            return HeadStatus::Malformed;
        }
        head->headers.append({name, value});
    }
    if (head->Has("content-length")) {
        const QByteArray text = head->Header("content-length");
        if (text.isEmpty() || text.size() > 12) {
            return HeadStatus::Malformed;
        }
        for (const char c : text) {
            if (c < '0' || c > '9') {
                return HeadStatus::Malformed;
            }
        }
        head->bodyLength = text.toLongLong();
    }
    return HeadStatus::Complete;
}

bool HostAllowed(const QByteArray& host, const QString& hostName) {
    const auto split = SplitHost(host);
    if (!split) {
        return false;
    }
    const QByteArray& name = split->host;
    if (IsIpv4Literal(name) || IsIpv6Literal(name) || name == "localhost") {
        return true;
    }
    const QByteArray own = hostName.toLower().toUtf8();
    return !own.isEmpty() && (name == own || name == own + ".local");
}

bool SameOrigin(const QByteArray& origin, const QByteArray& host) {
    if (!origin.startsWith("http://")) {
        return false;
    }
    const auto from = SplitHost(origin.mid(7));
    const auto to = SplitHost(host);
    return from && to && from->host == to->host && from->port == to->port;
}

std::optional<QByteArray> QueryValue(const QByteArray& query, const QByteArray& name) {
    for (const QByteArray& pair : query.split('&')) {
        const qsizetype equals = pair.indexOf('=');
        const QByteArray key = equals < 0 ? pair : pair.left(equals);
        if (key == name) {
            QByteArray value = equals < 0 ? QByteArray() : pair.mid(equals + 1);
            value.replace('+', ' ');
            return QByteArray::fromPercentEncoding(value);
        }
    }
    return std::nullopt;
}

QByteArray ReasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 409:
        return "Conflict";
    case 413:
        return "Content Too Large";
    case 423:
        return "Locked";
    case 426:
        return "Upgrade Required";
    case 429:
        return "Too Many Requests";
    case 431:
        return "Request Header Fields Too Large";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

} // namespace http
