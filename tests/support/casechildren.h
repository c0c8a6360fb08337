// A test whose cases each need a process of their own (the end of the
// program is final within a process): run with a case's name, the program
// runs that case; run without arguments, it runs each case in a child.
#pragma once

#include <QApplication>
#include <QMetaMethod>
#include <QMetaObject>
#include <QProcess>
#include <QtTest>

namespace casechildren {

// Runs every case of the test class `meta` in a child process of its own;
// the number of cases that failed.
inline int RunEachCaseInAChild(int argc, char* argv[], const QMetaObject& meta) {
    QCoreApplication app(argc, argv);
    int failed = 0;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        const QString name = QString::fromLatin1(method.name());
        if (method.methodType() != QMetaMethod::Slot || name == QLatin1String("initTestCase") ||
            name == QLatin1String("cleanupTestCase")) {
            continue;
        }
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {name});
        if (!child.waitForFinished(120000) || child.exitStatus() != QProcess::NormalExit ||
            child.exitCode() != 0) {
            ++failed;
        }
    }
    return failed;
}

// The test's main: every case in a child, or the cases named.
template <class Test> int Main(int argc, char* argv[]) {
    if (argc < 2) {
        return RunEachCaseInAChild(argc, argv, Test::staticMetaObject);
    }
    QApplication app(argc, argv);
    Test test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace casechildren
