#include "core/commandline.h"

#include "core/hostfacts.h"
#include "core/state.h"

Integer SplitCommandLine() {
    programSetup.commandArgs.fill(QString());
    const QString text = host::CommandLineText();
    if (text.isEmpty()) {
        return 0;
    }
    const QStringList words = text.split(QLatin1Char(' '), Qt::KeepEmptyParts);
    const qsizetype stored =
        std::min<qsizetype>(words.size(), static_cast<qsizetype>(programSetup.commandArgs.size()));
    for (qsizetype i = 0; i < stored; ++i) {
        programSetup.commandArgs[static_cast<std::size_t>(i)] = words[i];
    }
    return static_cast<Integer>(stored);
}

Integer GetLocaleCode() {
    return host::UserLocaleIsJapanese() ? 81 : 1;
}

FontSpec LabelFontFor(Integer localeCode) {
    if (localeCode == 81) {
        return FontSpec{QStringLiteral("ＭＳ Ｐゴシック"), 9, true, 128};
    }
    return FontSpec{QStringLiteral("Arial"), 8, true, 0};
}

bool IsDebugWord(const QString& word) {
    return word == QLatin1String("d") || word == QLatin1String("D") || IsTestPortWord(word);
}

bool IsTestPortWord(const QString& word) {
    return word == QLatin1String("1d") || word == QLatin1String("1D");
}
