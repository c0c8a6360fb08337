// Open Sound Control 1.1 packets: messages (an address, type tags and
// arguments, each part padded to four bytes) and bundles (a time tag and
// nested elements), and SLIP framing for packets on a stream.
//
// The decoder reads only inside the bytes it is given and reports a packet
// as a whole: either every message in it, or nothing.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstdint>
#include <optional>

namespace osc {

struct Argument {
    enum class Type : char {
        Int = 'i',
        Float = 'f',
        String = 's',
        Blob = 'b',
        True = 'T',
        False = 'F',
        Nil = 'N',
    };
    Type type = Type::Nil;
    std::int32_t i = 0;
    float f = 0;
    QByteArray bytes; // a string's text (without its terminator) or a blob's data

    static Argument Int(std::int32_t value) { return {Type::Int, value, 0, {}}; }
    static Argument Float(float value) { return {Type::Float, 0, value, {}}; }
    static Argument String(const QByteArray& text) { return {Type::String, 0, 0, text}; }
    static Argument Blob(const QByteArray& data) { return {Type::Blob, 0, 0, data}; }
    static Argument Bool(bool value) { return {value ? Type::True : Type::False, 0, 0, {}}; }

    friend bool operator==(const Argument&, const Argument&) = default;
};

struct Message {
    QByteArray address;
    QList<Argument> arguments;

    friend bool operator==(const Message&, const Message&) = default;
};

// Nesting deeper than this is refused (a bundle in a bundle ... ).
inline constexpr int maxBundleDepth = 8;

// The messages of a packet (a message, or a bundle's elements in order, the
// nested ones flattened); nullopt when any part of it is malformed.
std::optional<QList<Message>> DecodePacket(QByteArrayView packet);

// A message's bytes. A string argument must hold no zero byte (it ends
// there when it does).
QByteArray EncodeMessage(const Message& message);
// A bundle of encoded elements (messages or bundles); time tag 1 is "now".
QByteArray EncodeBundle(const QList<QByteArray>& elements, std::uint64_t timeTag = 1);

// SLIP: the special bytes and a frame's bytes (END, data escaped, END).
inline constexpr char slipEnd = static_cast<char>(0xC0);
inline constexpr char slipEsc = static_cast<char>(0xDB);
inline constexpr char slipEscEnd = static_cast<char>(0xDC);
inline constexpr char slipEscEsc = static_cast<char>(0xDD);
QByteArray SlipEncode(QByteArrayView packet);

// Splits a stream into SLIP frames; empty frames (END END) are skipped.
class SlipDecoder {
public:
    explicit SlipDecoder(qsizetype maxFrame = 64 * 1024) : maxFrame_(maxFrame) {}
    // The frames completed by `bytes`. Once a frame grows over the limit, or
    // an escape is followed by anything but ESC_END or ESC_ESC, the stream
    // is broken: Broken() holds and nothing more is decoded.
    QList<QByteArray> Feed(QByteArrayView bytes);
    bool Broken() const { return broken_; }

private:
    qsizetype maxFrame_;
    QByteArray frame_;
    bool escaped_ = false;
    bool broken_ = false;
};

} // namespace osc
