// Value conventions shared by the whole program: 16-bit Integers, flags with
// True = -1, fixed-length 8-character texts and 32-bit Singles, as the mixer
// and the settings file use them.
#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <string_view>

using Integer = std::int16_t;
using Flag = std::int16_t;
using Single = float;
using Byte = std::uint8_t;

constexpr Flag flagTrue = -1;
constexpr Flag flagFalse = 0;

// A flag from a C++ condition.
constexpr Flag ToFlag(bool condition) {
    return condition ? flagTrue : flagFalse;
}

// The bitwise complement that the design uses as "not" on flags (-1 <-> 0).
constexpr Flag NotFlag(Flag value) {
    return static_cast<Flag>(~value);
}

// Text in the mixer's character set: single bytes of the ANSI code page of
// the user's locale, Windows-1252, or Shift-JIS (code page 932) for a
// Japanese user (programSetup.systemState.localeCode 81). Defined in core/codepage.cpp.
QString DecodeAnsiText(std::string_view bytes);

// Fixed-length text of exactly 8 single-byte characters. Assigning a shorter
// text pads it with blanks on the right, a longer text is cut to 8 characters.
// Assigned texts are ASCII; what the mixer and the settings file send is shown
// through the ANSI code page (DecodeAnsiText).
class Text8 {
public:
    static constexpr std::size_t size = 8;

    Text8() { bytes_.fill(' '); }
    Text8(std::string_view text) { Assign(text); }
    Text8(const char* text) { Assign(text ? std::string_view(text) : std::string_view()); }
    Text8(const QByteArray& text) { Assign(std::string_view(text.constData(), text.size())); }
    Text8(const QString& text) : Text8(text.toLatin1()) {}

    void Assign(std::string_view text) {
        bytes_.fill(' ');
        const std::size_t n = text.size() < size ? text.size() : size;
        for (std::size_t i = 0; i < n; ++i) {
            bytes_[i] = text[i];
        }
    }
    // Takes exactly 8 raw bytes, as they come on the wire or from the file.
    static Text8 FromBytes(const Byte* raw) {
        Text8 t;
        for (std::size_t i = 0; i < size; ++i) {
            t.bytes_[i] = static_cast<char>(raw[i]);
        }
        return t;
    }

    const std::array<char, size>& Bytes() const { return bytes_; }
    QByteArray ToByteArray() const { return QByteArray(bytes_.data(), size); }
    QString ToQString() const { return DecodeAnsiText(std::string_view(bytes_.data(), size)); }
    // The text without leading and trailing blanks, as the panel shows names.
    QString Trimmed() const {
        std::size_t first = 0;
        std::size_t last = size;
        while (first < last && bytes_[first] == ' ') {
            ++first;
        }
        while (last > first && bytes_[last - 1] == ' ') {
            --last;
        }
        return DecodeAnsiText(std::string_view(bytes_.data() + first, last - first));
    }

    friend bool operator==(const Text8&, const Text8&) = default;

private:
    std::array<char, size> bytes_{};
};
