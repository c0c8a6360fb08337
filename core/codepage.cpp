// The mixer's names are single bytes of the ANSI code page of the user's
// locale: Windows-1252 in general, code page 932 (Shift-JIS) for a Japanese
// user, whose mixer shows half-width katakana.
#include "core/state.h"
#include "core/types.h"

#include <QStringDecoder>

#include <array>

namespace {

constexpr Integer japaneseLocale = 81;

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; its five unassigned
// bytes there keep their Latin-1 (C1) meaning, as Windows itself maps them.
constexpr std::array<char16_t, 32> windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString DecodeWindows1252(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text += QChar(b >= 0x80 && b <= 0x9F ? windows1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

// Code page 932 without a converter at hand: ASCII and the half-width
// katakana (0xA1..0xDF) are single bytes; anything else cannot be shown.
QString DecodeShiftJisSingleBytes(std::string_view bytes) {
    QString text;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            text += QChar(char16_t(b));
        } else if (b >= 0xA1 && b <= 0xDF) {
            text += QChar(char16_t(0xFF61 + (b - 0xA1)));
        } else {
            text += QChar(QChar::ReplacementCharacter);
        }
    }
    return text;
}

} // namespace

QString DecodeAnsiText(std::string_view bytes) {
    if (programSetup.systemState.localeCode != japaneseLocale) {
        return DecodeWindows1252(bytes);
    }
    QStringDecoder shiftJis("Shift_JIS");
    if (!shiftJis.isValid()) {
        return DecodeShiftJisSingleBytes(bytes);
    }
    return shiftJis(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}
