// dorvane-sim as a job of an interactive shell: started in the background of
// a terminal it keeps serving its line and leaves the input typed for others
// alone; brought to the foreground it reads its commands. Also --no-console
// and --version. Real processes: the terminal is a pseudo-terminal owned by
// the test, the "shell" a small session leader forked by the test.
#include "tests/simpeer.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The process's state letter from /proc ("R", "S", "T" for stopped, ...).
char ProcessState(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return '?';
    }
    const QByteArray text = stat.readAll();
    // "pid (comm) S ...": the name may hold anything, so look after its last ")".
    const qsizetype close = text.lastIndexOf(')');
    return close >= 0 && close + 2 < text.size() ? text[close + 2] : '?';
}

void WriteAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        done += n;
    }
}

// A shell's job on a terminal of its own. The test holds the terminal's master
// side (it "types" there and reads what the terminal shows); a forked session
// leader holds the terminal as its controlling terminal, starts the simulator
// in a process group of its own, in the background, and on request hands the
// foreground to the simulator's group or takes it back, as "fg" and Ctrl-Z
// with "bg" do in a shell. The simulator's standard output (link path and
// console answers) comes to the test through a pipe; its standard error, the
// traffic log, goes to the terminal.
class TerminalJob {
public:
    TerminalJob() = default;
    TerminalJob(const TerminalJob&) = delete;
    TerminalJob& operator=(const TerminalJob&) = delete;
    ~TerminalJob() { Stop(); }

    bool Start(const QStringList& simArguments, bool stopBackgroundWriters) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            return false;
        }
        char slaveName[128] = {};
        if (::ptsname_r(master_, slaveName, sizeof slaveName) != 0) {
            return false;
        }
        // The terminal as a shell leaves it: canonical input with echo; with
        // "stty tostop" a background job that writes to it is stopped.
        termios settings{};
        if (::tcgetattr(master_, &settings) != 0) {
            return false;
        }
        settings.c_lflag |= ICANON | ECHO | ISIG;
        if (stopBackgroundWriters) {
            settings.c_lflag |= TOSTOP;
        }
        if (::tcsetattr(master_, TCSANOW, &settings) != 0) {
            return false;
        }
        int output[2];
        int control[2];
        int answer[2];
        if (::pipe2(output, O_CLOEXEC) != 0 || ::pipe2(control, O_CLOEXEC) != 0 ||
            ::pipe2(answer, O_CLOEXEC) != 0) {
            return false;
        }
        outputRead_ = output[0];
        controlWrite_ = control[1];
        answerRead_ = answer[0];

        // Everything the children need is made before the fork: after it they
        // only call async-signal-safe functions.
        const std::string program = QFile::encodeName(QDir(qEnvironmentVariable("ARDENIX_BIN_DIR"))
                                                          .filePath(QStringLiteral("dorvane-sim")))
                                        .toStdString();
        std::vector<std::string> words{program};
        for (const QString& argument : simArguments) {
            words.push_back(QFile::encodeName(argument).toStdString());
        }
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);

        leader_ = ::fork();
        if (leader_ < 0) {
            return false;
        }
        if (leader_ == 0) {
            // The test's own ends: the leader must see the end of its requests.
            ::close(master_);
            ::close(output[0]);
            ::close(control[1]);
            ::close(answer[0]);
            RunLeader(slaveName, argv.data(), output[1], control[0], answer[1]);
        }
        ::close(output[1]);
        ::close(control[0]);
        ::close(answer[1]);
        pid_t sim = -1;
        if (!ReadAnswer(&sim, sizeof sim)) {
            return false;
        }
        sim_ = sim;
        return sim_ > 0;
    }

    pid_t SimPid() const { return sim_; }
    char SimState() const { return ProcessState(sim_); }

    // Hands the terminal's foreground to the simulator's group (true) or back
    // to the leader's (false).
    bool SetForeground(bool simulator) {
        WriteAll(controlWrite_, simulator ? "f" : "b");
        char reply = 0;
        return ReadAnswer(&reply, 1) && reply == 'y';
    }

    // Typing on the terminal.
    void Type(const QByteArray& text) { WriteAll(master_, text); }

    // The next line of the simulator's standard output, or a null string when
    // none came in time. Meanwhile what the terminal shows is collected.
    QString OutputLine(int timeoutMs) {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            const qsizetype end = output_.indexOf('\n');
            if (end >= 0) {
                const QString line = QString::fromLatin1(output_.left(end));
                output_.remove(0, end + 1);
                return line;
            }
            const int left = timeoutMs - static_cast<int>(clock.elapsed());
            if (left <= 0) {
                return {};
            }
            Pump(left);
        }
    }

    // Collects output for a while (so that the terminal never fills up).
    void Pump(int ms) {
        pollfd entries[2] = {{master_, POLLIN, 0}, {outputRead_, POLLIN, 0}};
        if (::poll(entries, 2, ms) <= 0) {
            return;
        }
        char chunk[4096];
        if ((entries[0].revents & POLLIN) != 0) {
            const ssize_t n = ::read(master_, chunk, sizeof chunk);
            if (n > 0) {
                screen_.append(chunk, n);
            }
        }
        if ((entries[1].revents & POLLIN) != 0) {
            const ssize_t n = ::read(outputRead_, chunk, sizeof chunk);
            if (n > 0) {
                output_.append(chunk, n);
            }
        }
        if ((entries[0].revents & POLLIN) == 0 && (entries[1].revents & POLLIN) == 0) {
            ::usleep(10'000); // a hang-up only
        }
    }
    // Pumps for the whole time.
    void Wait(int ms) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            Pump(ms - static_cast<int>(clock.elapsed()));
        }
    }
    // Whether the terminal showed `text` within the time.
    bool ScreenShows(const QByteArray& text, int timeoutMs) {
        QElapsedTimer clock;
        clock.start();
        while (!screen_.contains(text) && clock.elapsed() < timeoutMs) {
            Pump(50);
        }
        return screen_.contains(text);
    }

    void Stop() {
        if (controlWrite_ >= 0) {
            ::close(controlWrite_); // the leader ends the simulator and itself
            controlWrite_ = -1;
        }
        if (leader_ > 0) {
            QElapsedTimer clock;
            clock.start();
            int status = 0;
            while (::waitpid(leader_, &status, WNOHANG) == 0) {
                if (clock.elapsed() > 5000) {
                    if (sim_ > 0) {
                        ::kill(sim_, SIGKILL);
                    }
                    ::kill(leader_, SIGKILL);
                    ::waitpid(leader_, &status, 0);
                    break;
                }
                Pump(20);
            }
            leader_ = -1;
        }
        for (int* fd : {&master_, &outputRead_, &answerRead_}) {
            if (*fd >= 0) {
                ::close(*fd);
                *fd = -1;
            }
        }
    }

private:
    [[noreturn]] static void RunLeader(const char* slaveName, char* const* argv, int output,
                                       int control, int answer) {
        ::setsid();
        // The first terminal a session leader opens becomes its controlling
        // terminal, with the leader's group in the foreground.
        const int terminal = ::open(slaveName, O_RDWR);
        if (terminal < 0 || ::ioctl(terminal, TIOCSCTTY, 0) != 0) {
            ::_exit(126);
        }
        // Handing the foreground away, the leader is in the background itself.
        ::signal(SIGTTOU, SIG_IGN);
        const pid_t sim = ::fork();
        if (sim == 0) {
            ::setpgid(0, 0);
            ::signal(SIGTTOU, SIG_DFL);
            sigset_t none;
            ::sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            ::dup2(terminal, STDIN_FILENO);
            ::dup2(output, STDOUT_FILENO);
            ::dup2(terminal, STDERR_FILENO);
            ::execv(argv[0], argv);
            ::_exit(127);
        }
        ::setpgid(sim, sim);
        [[maybe_unused]] ssize_t n = ::write(answer, &sim, sizeof sim);
        for (;;) {
            char request = 0;
            n = ::read(control, &request, 1);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            const pid_t group = request == 'f' ? sim : ::getpgrp();
            const char reply = ::tcsetpgrp(terminal, group) == 0 ? 'y' : 'n';
            n = ::write(answer, &reply, 1);
        }
        if (sim > 0) {
            ::kill(sim, SIGTERM);
            ::kill(sim, SIGCONT); // a stopped simulator has to run to end
            int status = 0;
            ::waitpid(sim, &status, 0);
        }
        ::_exit(0);
    }

    bool ReadAnswer(void* data, size_t size) {
        pollfd entry{answerRead_, POLLIN, 0};
        if (::poll(&entry, 1, 5000) <= 0) {
            return false;
        }
        return ::read(answerRead_, data, size) == static_cast<ssize_t>(size);
    }

    int master_ = -1;
    int outputRead_ = -1;
    int controlWrite_ = -1;
    int answerRead_ = -1;
    pid_t leader_ = -1;
    pid_t sim_ = -1;
    QByteArray output_;
    QByteArray screen_;
};

// A state in which the simulator goes on: running or sleeping, not stopped.
bool Running(char state) {
    return state == 'R' || state == 'S';
}

} // namespace

class TestSimTerminal : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    QString SimPath() const {
        return QDir(qEnvironmentVariable("ARDENIX_BIN_DIR"))
            .filePath(QStringLiteral("dorvane-sim"));
    }

    // Asks the simulator on its line for a full status: proof that it serves.
    static bool Serves(const QString& link) {
        simpeer::Client client;
        return client.Open(link) && client.Request("RAST", 74).size() == 74;
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void backgroundJobServesAndWaitsForTheForeground_data() {
        QTest::addColumn<bool>("tostop");
        QTest::newRow("terminal as usual") << false;
        // "stty tostop": the traffic log on the terminal must not stop it either.
        QTest::newRow("stty tostop") << true;
    }
    void backgroundJobServesAndWaitsForTheForeground() {
        QFETCH(const bool, tostop);
        const QString link =
            dir_.filePath(tostop ? QStringLiteral("tostop.tty") : QStringLiteral("background.tty"));
        TerminalJob job;
        QVERIFY(job.Start({QStringLiteral("--link"), link}, tostop));
        QCOMPARE(job.OutputLine(5000), link);

        // Input typed for someone else, a whole line of it.
        job.Type("state\n");
        job.Wait(600);
        QVERIFY2(Running(job.SimState()), qPrintable(QString(QChar(job.SimState()))));
        QVERIFY(Serves(link));
        QVERIFY(job.ScreenShows("rx RAST", 2000)); // the log reached the terminal
        QCOMPARE(job.OutputLine(100), QString());  // the line was not read

        // Brought to the foreground, it reads what waits there.
        QVERIFY(job.SetForeground(true));
        const QString state = job.OutputLine(3000);
        QVERIFY2(state.startsWith(QLatin1Char('{')), qPrintable(state));
        job.Type("set level A 5\n");
        QCOMPARE(job.OutputLine(3000), QString("ok level A 5"));

        // Back in the background (Ctrl-Z and "bg" without the stop): again
        // nothing is read, and the line is served.
        QVERIFY(job.SetForeground(false));
        job.Wait(400); // the console notices the background
        job.Type("set level A 9\n");
        job.Wait(600);
        QVERIFY(Running(job.SimState()));
        QVERIFY(Serves(link));
        QCOMPARE(job.OutputLine(100), QString());
        QVERIFY(job.SetForeground(true));
        QCOMPARE(job.OutputLine(3000), QString("ok level A 9"));
    }

    void noConsoleNeverReadsStandardInput() {
        // On a terminal, in the foreground: typed lines stay unread.
        const QString link = dir_.filePath(QStringLiteral("quiet.tty"));
        TerminalJob job;
        QVERIFY(job.Start({QStringLiteral("--link"), link, QStringLiteral("--no-console")}, false));
        QCOMPARE(job.OutputLine(5000), link);
        QVERIFY(job.SetForeground(true));
        job.Type("quit\n");
        job.Wait(600);
        QVERIFY(Running(job.SimState()));
        QCOMPARE(job.OutputLine(100), QString());
        QVERIFY(Serves(link));

        // From a pipe, as a script starts it: no answers, no quit.
        QProcess sim;
        const QString piped = dir_.filePath(QStringLiteral("piped.tty"));
        sim.start(SimPath(), {QStringLiteral("--link"), piped, QStringLiteral("--no-console")});
        QVERIFY(sim.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine(), 5000);
        QCOMPARE(QString::fromLatin1(sim.readLine()).trimmed(), piped);
        sim.write("state\nquit\n");
        QVERIFY(sim.waitForBytesWritten(1000));
        QTest::qWait(600);
        QCOMPARE(sim.state(), QProcess::Running);
        QCOMPARE(sim.readAllStandardOutput(), QByteArray());
        QVERIFY(Serves(piped));
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 0);
    }

    void versionAndUsage() {
        for (const QString& option : {QStringLiteral("--version"), QStringLiteral("-V")}) {
            QProcess sim;
            sim.start(SimPath(), {option});
            QVERIFY(sim.waitForFinished(5000));
            QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
            QCOMPARE(sim.exitCode(), 0);
            QCOMPARE(sim.readAllStandardOutput(), QByteArray("dorvane-sim " ARDENIX_VERSION "\n"));
        }
        QProcess help;
        help.start(SimPath(), {QStringLiteral("--help")});
        QVERIFY(help.waitForFinished(5000));
        QCOMPARE(help.exitCode(), 0);
        const QByteArray text = help.readAllStandardOutput();
        QVERIFY(text.contains("--no-console"));
        QVERIFY(text.contains("--version"));

        QProcess wrong;
        wrong.start(SimPath(), {QStringLiteral("--no-such-option")});
        QVERIFY(wrong.waitForFinished(5000));
        QCOMPARE(wrong.exitCode(), 2);
        QCOMPARE(wrong.readAllStandardOutput(), QByteArray());
        QCOMPARE(wrong.readAllStandardError().count('\n'), 1);
    }
};

QTEST_GUILESS_MAIN(TestSimTerminal)
#include "test_sim_terminal.moc"
