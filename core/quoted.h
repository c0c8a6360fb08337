// A caller's argument as an error text quotes it.
#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

// At most the first 40 characters and "…": an argument of a megabyte must not
// come back whole.
inline QString QuotedArgument(QStringView argument) {
    constexpr qsizetype longest = 40;
    if (argument.size() <= longest) {
        return argument.toString();
    }
    return argument.left(longest).toString() + QChar(0x2026);
}
