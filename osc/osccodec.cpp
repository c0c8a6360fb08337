#include "osc/osccodec.h"

#include <QtEndian>

#include <cstring>

namespace osc {

namespace {

constexpr QByteArrayView bundleTag("#bundle\0", 8);

qsizetype Padded(qsizetype size) {
    return (size + 3) & ~qsizetype{3};
}

// Reads through a packet's bytes; every read checks the bounds first, and a
// failed read leaves the reader failed.
class Reader {
public:
    explicit Reader(QByteArrayView bytes) : bytes_(bytes) {}

    bool AtEnd() const { return at_ == bytes_.size(); }
    qsizetype Left() const { return bytes_.size() - at_; }

    std::optional<std::uint32_t> Word() {
        if (Left() < 4) {
            return std::nullopt;
        }
        const std::uint32_t value = qFromBigEndian<std::uint32_t>(bytes_.data() + at_);
        at_ += 4;
        return value;
    }
    std::optional<std::uint64_t> Double() {
        if (Left() < 8) {
            return std::nullopt;
        }
        const std::uint64_t value = qFromBigEndian<std::uint64_t>(bytes_.data() + at_);
        at_ += 8;
        return value;
    }
    // A zero-terminated string padded to four bytes; the padding holds zeros.
    std::optional<QByteArray> String() {
        const char* begin = bytes_.data() + at_;
        const void* zero = std::memchr(begin, 0, static_cast<std::size_t>(Left()));
        if (zero == nullptr) {
            return std::nullopt;
        }
        const qsizetype length = static_cast<const char*>(zero) - begin;
        const qsizetype span = Padded(length + 1);
        if (span > Left()) {
            return std::nullopt;
        }
        for (qsizetype k = length; k < span; ++k) {
            if (begin[k] != 0) {
                return std::nullopt;
            }
        }
        at_ += span;
        return QByteArray(begin, length);
    }
    // `size` bytes, then padding to four.
    std::optional<QByteArrayView> Bytes(qsizetype size) {
        if (size < 0 || size > Left() || Padded(size) > Left()) {
            return std::nullopt;
        }
        const QByteArrayView part = bytes_.sliced(at_, size);
        at_ += Padded(size);
        return part;
    }

private:
    QByteArrayView bytes_;
    qsizetype at_ = 0;
};

bool DecodeMessage(QByteArrayView bytes, QList<Message>& out) {
    Reader reader(bytes);
    Message message;
    const std::optional<QByteArray> address = reader.String();
    if (!address || !address->startsWith('/')) {
        return false;
    }
    message.address = *address;
    if (reader.AtEnd()) {
        out.append(std::move(message)); // an old sender's message without type tags
        return true;
    }
    const std::optional<QByteArray> tags = reader.String();
    if (!tags || !tags->startsWith(',')) {
        return false;
    }
    for (qsizetype k = 1; k < tags->size(); ++k) {
        Argument argument;
        switch (tags->at(k)) {
        case 'i': {
            const auto word = reader.Word();
            if (!word) {
                return false;
            }
            argument = Argument::Int(static_cast<std::int32_t>(*word));
            break;
        }
        case 'f': {
            const auto word = reader.Word();
            if (!word) {
                return false;
            }
            float value = 0;
            static_assert(sizeof value == sizeof *word);
            std::memcpy(&value, &*word, sizeof value);
            argument = Argument::Float(value);
            break;
        }
        case 's': {
            const auto text = reader.String();
            if (!text) {
                return false;
            }
            argument = Argument::String(*text);
            break;
        }
        case 'b': {
            const auto size = reader.Word();
            if (!size || *size > static_cast<std::uint32_t>(reader.Left())) {
                return false;
            }
            const auto data = reader.Bytes(static_cast<qsizetype>(*size));
            if (!data) {
                return false;
            }
            argument = Argument::Blob(data->toByteArray());
            break;
        }
        case 'T':
            argument = Argument::Bool(true);
            break;
        case 'F':
            argument = Argument::Bool(false);
            break;
        case 'N':
            argument = Argument{};
            break;
        default:
            return false; // a type whose size is unknown here: the rest cannot be read
        }
        message.arguments.append(std::move(argument));
    }
    if (!reader.AtEnd()) {
        return false;
    }
    out.append(std::move(message));
    return true;
}

bool DecodeElement(QByteArrayView bytes, QList<Message>& out, int depth) {
    if (!bytes.startsWith(bundleTag)) {
        return DecodeMessage(bytes, out);
    }
    if (depth >= maxBundleDepth) {
        return false;
    }
    Reader reader(bytes);
    if (!reader.Bytes(bundleTag.size()) || !reader.Double()) {
        return false;
    }
    while (!reader.AtEnd()) {
        const auto size = reader.Word();
        if (!size || *size == 0 || *size % 4 != 0 ||
            *size > static_cast<std::uint32_t>(reader.Left())) {
            return false;
        }
        const auto element = reader.Bytes(static_cast<qsizetype>(*size));
        if (!element || !DecodeElement(*element, out, depth + 1)) {
            return false;
        }
    }
    return true;
}

void AppendWord(QByteArray& out, std::uint32_t value) {
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

void AppendString(QByteArray& out, const QByteArray& text) {
    const qsizetype length = qstrnlen(text.constData(), text.size());
    out.append(text.constData(), length);
    out.append(Padded(length + 1) - length, '\0');
}

} // namespace

std::optional<QList<Message>> DecodePacket(QByteArrayView packet) {
    QList<Message> messages;
    if (packet.isEmpty() || packet.size() % 4 != 0 || !DecodeElement(packet, messages, 0)) {
        return std::nullopt;
    }
    return messages;
}

QByteArray EncodeMessage(const Message& message) {
    QByteArray out;
    AppendString(out, message.address);
    QByteArray tags(1, ',');
    for (const Argument& argument : message.arguments) {
        tags.append(static_cast<char>(argument.type));
    }
    AppendString(out, tags);
    for (const Argument& argument : message.arguments) {
        switch (argument.type) {
        case Argument::Type::Int:
            AppendWord(out, static_cast<std::uint32_t>(argument.i));
            break;
        case Argument::Type::Float: {
            std::uint32_t word = 0;
            std::memcpy(&word, &argument.f, sizeof word);
            AppendWord(out, word);
            break;
        }
        case Argument::Type::String:
            AppendString(out, argument.bytes);
            break;
        case Argument::Type::Blob:
            AppendWord(out, static_cast<std::uint32_t>(argument.bytes.size()));
            out.append(argument.bytes);
            out.append(Padded(argument.bytes.size()) - argument.bytes.size(), '\0');
            break;
        case Argument::Type::True:
        case Argument::Type::False:
        case Argument::Type::Nil:
            break;
        }
    }
    return out;
}

QByteArray EncodeBundle(const QList<QByteArray>& elements, std::uint64_t timeTag) {
    QByteArray out(bundleTag.data(), bundleTag.size());
    char tag[8];
    qToBigEndian(timeTag, tag);
    out.append(tag, 8);
    for (const QByteArray& element : elements) {
        AppendWord(out, static_cast<std::uint32_t>(element.size()));
        out.append(element);
    }
    return out;
}

QByteArray SlipEncode(QByteArrayView packet) {
    QByteArray out;
    out.reserve(packet.size() + 8);
    out.append(slipEnd);
    for (const char c : packet) {
        if (c == slipEnd) {
            out.append(slipEsc).append(slipEscEnd);
        } else if (c == slipEsc) {
            out.append(slipEsc).append(slipEscEsc);
        } else {
            out.append(c);
        }
    }
    out.append(slipEnd);
    return out;
}

QList<QByteArray> SlipDecoder::Feed(QByteArrayView bytes) {
    QList<QByteArray> frames;
    for (const char c : bytes) {
        if (broken_) {
            break;
        }
        if (escaped_) {
            escaped_ = false;
            if (c == slipEscEnd) {
                frame_.append(slipEnd);
            } else if (c == slipEscEsc) {
                frame_.append(slipEsc);
            } else {
                broken_ = true;
            }
        } else if (c == slipEsc) {
            escaped_ = true;
        } else if (c == slipEnd) {
            if (!frame_.isEmpty()) {
                frames.append(std::exchange(frame_, {}));
            }
        } else {
            frame_.append(c);
        }
        if (frame_.size() > maxFrame_) {
            broken_ = true;
        }
    }
    if (broken_) {
        frame_.clear();
        frame_.squeeze();
    }
    return frames;
}

} // namespace osc
