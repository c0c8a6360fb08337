// The value conventions, the command-line splitter and the locale decisions.
#include "core/commandline.h"
#include "core/hostfacts.h"
#include "core/state.h"
#include "tests/support/linkrecord.h"

#include <QtTest>

class TestState : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetSharedState(); }

    void text8PadsAndCuts() {
        QCOMPARE(Text8("MASTER A").ToQString(), QStringLiteral("MASTER A"));
        QCOMPARE(Text8("").ToQString(), QStringLiteral("        "));
        QCOMPARE(Text8("ABCDEFGHI").ToQString(), QStringLiteral("ABCDEFGH"));
        QCOMPARE(Text8("Mic").ToQString(), QStringLiteral("Mic     "));
        QCOMPARE(Text8("  Mic 1 ").Trimmed(), QStringLiteral("Mic 1"));
        QCOMPARE(Text8("        ").Trimmed(), QString());
        const Byte raw[8] = {'C', 'a', 'm', 0xE9, ' ', ' ', ' ', ' '};
        QCOMPARE(Text8::FromBytes(raw).ToQString(), QStringLiteral("Cam\u00e9    "));
        QVERIFY(Text8("X") == Text8("X       "));
    }

    // Names from the mixer in its character set: Windows-1252, or Shift-JIS
    // (code page 932) for a Japanese user.
    void namesInTheAnsiCodePage() {
        const Byte western[8] = {0x80, 0x85, 0x8A, 0x93, 0x94, 0x99, 0x9F, 0xE9};
        programSetup.systemState.localeCode = 1;
        QCOMPARE(Text8::FromBytes(western).ToQString(),
                 QStringLiteral("\u20ac\u2026\u0160\u201c\u201d\u2122\u0178\u00e9"));
        // Half-width katakana: one byte each, 0xB1 is "a", 0xDF the semi-voiced mark.
        const Byte kana[8] = {0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0x20, 0xDE, 0xDF};
        programSetup.systemState.localeCode = 81;
        QCOMPARE(Text8::FromBytes(kana).ToQString(),
                 QStringLiteral("\uff71\uff72\uff73\uff74\uff75 \uff9e\uff9f"));
        QCOMPARE(Text8::FromBytes(kana).Trimmed().size(), 8);
        const Byte blanks[8] = {0x20, 0xB6, 0xD2, 0xD7, 0x31, 0x20, 0x20, 0x20};
        QCOMPARE(Text8::FromBytes(blanks).Trimmed(), QStringLiteral("\uff76\uff92\uff971"));
        // The same bytes for a user elsewhere: Windows-1252.
        programSetup.systemState.localeCode = 1;
        QCOMPARE(Text8::FromBytes(kana).ToQString(),
                 QStringLiteral("\u00b1\u00b2\u00b3\u00b4\u00b5 \u00de\u00df"));
    }

    void flagsUseMinusOne() {
        QCOMPARE(ToFlag(true), Flag(-1));
        QCOMPARE(ToFlag(false), Flag(0));
        QCOMPARE(NotFlag(flagTrue), flagFalse);
        QCOMPARE(NotFlag(flagFalse), flagTrue);
    }

    void firstValuesOfAFreshProcess() {
        QCOMPARE(mirror.panel.recall, Integer(0));
        QCOMPARE(mirror.panel.selectedInput, Integer(-1));
        QCOMPARE(mirror.panel.transportKey, Integer(-1));
        for (const InputEntry& input : mirror.panel.inputs) {
            QCOMPARE(input.status, Integer(-1));
            QCOMPARE(input.name.ToQString(), QStringLiteral("        "));
        }
        QCOMPARE(mirror.panel.masters[0].lamps[overGain], flagTrue);
        QCOMPARE(mirror.panel.masters[1].lamps[mugen], flagTrue);
        QCOMPARE(LinkRecord{}.exchange[replyRecord].kind, Integer(-1));
    }

    void splitCommandLineCountsEveryBlank() {
        struct Case {
            QString text;
            int words;
            QStringList expected;
        };
        const QList<Case> cases = {
            {QString(), 0, {}},
            {QStringLiteral("d"), 1, {QStringLiteral("d")}},
            {QStringLiteral("d x"), 2, {QStringLiteral("d"), QStringLiteral("x")}},
            {QStringLiteral("d  x"), 3, {QStringLiteral("d"), QString(), QStringLiteral("x")}},
            {QStringLiteral(" "), 2, {QString(), QString()}},
            {QStringLiteral("\u00fcber \u65e5\u672c"),
             2,
             {QStringLiteral("\u00fcber"), QStringLiteral("\u65e5\u672c")}},
        };
        for (const Case& c : cases) {
            host::SetCommandLineText(c.text);
            QCOMPARE(int(SplitCommandLine()), c.words);
            for (int i = 0; i < c.expected.size(); ++i) {
                QCOMPARE(programSetup.commandArgs[static_cast<std::size_t>(i)], c.expected[i]);
            }
            // Calling it again gives the same result and clears what lay beyond.
            QCOMPARE(int(SplitCommandLine()), c.words);
            QVERIFY(programSetup.commandArgs[static_cast<std::size_t>(c.words)].isEmpty());
        }
        // Words beyond the 31st are dropped.
        QStringList many;
        for (int i = 0; i < 40; ++i) {
            many << QString::number(i);
        }
        host::SetCommandLineText(many.join(QLatin1Char(' ')));
        QCOMPARE(int(SplitCommandLine()), 31);
        QCOMPARE(programSetup.commandArgs[30], QStringLiteral("30"));
    }

    void debugWordsAreExact() {
        for (const char* word : {"d", "D", "1d", "1D"}) {
            QVERIFY2(IsDebugWord(QString::fromLatin1(word)), word);
        }
        for (const char* word : {"", "dd", "1dx", "x", "-d", "1"}) {
            QVERIFY2(!IsDebugWord(QString::fromLatin1(word)), word);
        }
        QVERIFY(IsTestPortWord(QStringLiteral("1D")));
        QVERIFY(!IsTestPortWord(QStringLiteral("D")));
    }

    void labelFontByLocale() {
        const FontSpec japanese = LabelFontFor(81);
        QCOMPARE(japanese.name, QStringLiteral("\uff2d\uff33 \uff30\u30b4\u30b7\u30c3\u30af"));
        QCOMPARE(japanese.pointSize, 9.0);
        QCOMPARE(japanese.charset, 128);
        QVERIFY(japanese.bold);
        const FontSpec other = LabelFontFor(1);
        QCOMPARE(other.name, QStringLiteral("Arial"));
        QCOMPARE(other.pointSize, 8.0);
        QCOMPARE(other.charset, 0);
        QVERIFY(other.bold);
    }

    void listBoxTopAndEnd() {
        ListBox list;
        QStringList seen;
        list.SetView([&](ListBox::Change change, const QString& line) {
            seen << QString::number(int(change)) + line;
        });
        list.AddItem(QStringLiteral("b"));
        list.InsertItem(QStringLiteral("a"));
        list.AddItem(QStringLiteral("c"));
        QCOMPARE(list.ListCount(), 3);
        QCOMPARE(list.List(0), QStringLiteral("a"));
        QCOMPARE(list.List(2), QStringLiteral("c"));
        list.Clear();
        QCOMPARE(list.ListCount(), 0);
        QCOMPARE(seen.size(), 4);
    }
};

QTEST_GUILESS_MAIN(TestState)
#include "test_state.moc"
