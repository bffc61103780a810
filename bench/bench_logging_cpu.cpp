// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What logging costs: the real window reading a pseudo-terminal, next to a
// plain C poll()/read() loop reading another one, both fed the same bytes at
// the same moments by a third process. Reports the CPU share of each (from
// /proc/<pid>/task/*/schedstat), their ratio, and the window's wakeups, repaints and
// updates of the monitor box per second. Beside them runs a bare line edit of
// the monitor box's size and font, given the same text 20 times a second and
// nothing else: what showing the stream costs at all, whoever shows it.
//   bench_logging_cpu [SECONDS [RUNS]]   each case runs that long (default 10), that often (default 5)
// Runs on the display in DISPLAY (Xvfb will do), else on Qt's offscreen platform.

#include "app/form1.h"
#include "corpus.h"
#include "link/mscomm.h"
#include "link/systemsources.h"
#include "settings/inisettingsstore.h"
#include "support/fakes.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

struct Pty
{
    int master = -1;
    QString slave;
};

Pty openPty()
{
    Pty pty;
    pty.master = posix_openpt(O_RDWR | O_NOCTTY);
    if (pty.master < 0 || grantpt(pty.master) != 0 || unlockpt(pty.master) != 0) {
        std::perror("posix_openpt");
        std::exit(1);
    }
    pty.slave = QString::fromLocal8Bit(ptsname(pty.master));
    return pty;
}

// CPU time of a process in seconds, all its threads. /proc/<pid>/stat counts
// in clock ticks (10 ms), too coarse for shares near 1 %; the scheduler's
// own figure (schedstat, the first field: nanoseconds on a CPU) is exact.
double cpuSeconds(pid_t pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/task", int(pid));
    double seconds = 0;
    for (const QString &task : QDir(QString::fromLatin1(path)).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile schedstat(QStringLiteral("%1/%2/schedstat").arg(QString::fromLatin1(path), task));
        if (schedstat.open(QIODevice::ReadOnly))
            seconds += double(schedstat.readAll().split(' ').value(0).toLongLong()) / 1e9;
    }
    return seconds;
}

// Voluntary context switches of a process's main thread: how often it woke up.
long wakeups(pid_t pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/status", int(pid));
    FILE *file = std::fopen(path, "r");
    long switches = 0;
    char line[256];
    while (file && std::fgets(line, sizeof line, file)) {
        if (std::sscanf(line, "voluntary_ctxt_switches: %ld", &switches) == 1)
            break;
    }
    if (file)
        std::fclose(file);
    return switches;
}

double now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Writes `stream` to both masters, `chunk` bytes at a time at `bytesPerSecond`, for ever.
[[noreturn]] void feed(int a, int b, const QByteArray &stream, int chunk, double bytesPerSecond)
{
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    const long stepNs = long(1e9 * chunk / bytesPerSecond);
    for (qsizetype at = 0;; at = (at + chunk) % (stream.size() - chunk)) {
        for (int fd : {a, b}) {
            if (write(fd, stream.constData() + at, size_t(chunk)) < 0 && errno != EAGAIN)
                _exit(0);
        }
        next.tv_nsec += stepNs;
        while (next.tv_nsec >= 1'000'000'000) {
            next.tv_nsec -= 1'000'000'000;
            ++next.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    }
}

// The reference: read whatever arrives, the moment it arrives.
[[noreturn]] void plainReader(const QString &device)
{
    const int fd = open(device.toLocal8Bit().constData(), O_RDONLY | O_NOCTTY);
    termios raw{};
    tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    tcsetattr(fd, TCSANOW, &raw);
    char buffer[32768];
    long lines = 0;
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, -1) > 0) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            _exit(0);
        for (ssize_t i = 0; i < n; ++i)
            lines += buffer[i] == '\n';
    }
    _exit(int(lines & 1));
}

// The floor: a line edit like the monitor box, in a window of the same size,
// given every 50 ms the text that arrived meanwhile, up to its line's end.
// No device, no decoding, no status line.
int bareBox(int argc, char **argv)
{
    QApplication app(argc, argv);
    const double bytesPerSecond = std::atof(argv[2]);
    const QStringList geometry = QString::fromLatin1(argv[3]).split(QLatin1Char(','));
    QWidget window;
    window.resize(geometry.value(0).toInt(), geometry.value(1).toInt());
    QLineEdit box(&window);
    box.setGeometry(geometry.value(2).toInt(), geometry.value(3).toInt(), geometry.value(4).toInt(),
                    geometry.value(5).toInt());
    QFont font;
    font.fromString(QString::fromLatin1(argv[4]));
    box.setFont(font);
    window.move(window.width() + 16, 0); // beside the real window, not over it
    window.show();

    const QByteArray stream = nmeaStream(64 * 1024);
    const auto perTick = qsizetype(bytesPerSecond / 20);
    qsizetype at = 0;
    QString line;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const QByteArray arrived = stream.mid(at, perTick);
        at = (at + perTick) % (stream.size() - perTick);
        const qsizetype end = arrived.lastIndexOf('\n');
        line = end < 0 ? line + QString::fromLatin1(arrived) : QString::fromLatin1(arrived.mid(end + 1));
        box.setText(line);
    });
    tick.start(50);
    return QApplication::exec();
}

class PaintCounter : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    long paints = 0;
};

struct Result
{
    double share = 0, refShare = 0, bareShare = 0, wakeups = 0, refWakeups = 0, repaints = 0, boxUpdates = 0;
    double ratio() const { return share / refShare; }
};

Result runCase(int chunk, double bytesPerSecond, double seconds)
{
    Pty ours = openPty();
    Pty reference = openPty();
    QTemporaryDir config;
    quorvel::settings::IniSettingsStore settings(config.path());
    settings.writeSetting(QStringLiteral("Quorvel"), QStringLiteral("Ports"), QStringLiteral("COM1"),
                          ours.slave);

    const pid_t reader = fork();
    if (reader == 0)
        plainReader(reference.slave);

    quorvel::Form1 form(
        std::make_unique<quorvel::link::MSComm>(settings, QStringLiteral("Quorvel"),
                                                std::make_unique<quorvel::link::SystemSources>()),
        settings, std::make_unique<quorvel::test::FakeClock>());
    form.Form_Load();
    form.show();
    PaintCounter paints;
    for (QWidget *child : form.findChildren<QWidget *>())
        child->installEventFilter(&paints);
    long boxUpdates = 0;
    QObject::connect(form.monitor, &QLineEdit::textChanged, [&boxUpdates] { ++boxUpdates; });
    form.StartStop_Click();

    // The arguments are made before fork(): the child only calls exec.
    const QRect box = form.monitor->geometry();
    const QByteArray rate = QByteArray::number(bytesPerSecond);
    const QByteArray geometry = QStringLiteral("%1,%2,%3,%4,%5,%6")
                                    .arg(form.width())
                                    .arg(form.height())
                                    .arg(box.x())
                                    .arg(box.y())
                                    .arg(box.width())
                                    .arg(box.height())
                                    .toLatin1();
    const QByteArray font = form.monitor->font().toString().toLatin1();
    const pid_t bare = fork();
    if (bare == 0) {
        execl("/proc/self/exe", "bench_logging_cpu", "--bare-box", rate.constData(), geometry.constData(),
              font.constData(), static_cast<char *>(nullptr));
        _exit(127);
    }

    const QByteArray stream = nmeaStream(64 * 1024);
    const pid_t feeder = fork();
    if (feeder == 0)
        feed(ours.master, reference.master, stream, chunk, bytesPerSecond);

    // Warm up, then measure.
    QTimer::singleShot(1000, [] { QCoreApplication::exit(); });
    QCoreApplication::exec();
    const double cpu0 = cpuSeconds(getpid()), ref0 = cpuSeconds(reader), bare0 = cpuSeconds(bare), t0 = now();
    const long wake0 = wakeups(getpid()), refWake0 = wakeups(reader), paint0 = paints.paints,
               box0 = boxUpdates;
    QTimer::singleShot(int(seconds * 1000), [] { QCoreApplication::exit(); });
    QCoreApplication::exec();
    const double wall = now() - t0;
    Result result;
    result.share = (cpuSeconds(getpid()) - cpu0) / wall;
    result.refShare = (cpuSeconds(reader) - ref0) / wall;
    result.bareShare = (cpuSeconds(bare) - bare0) / wall;
    result.wakeups = double(wakeups(getpid()) - wake0) / wall;
    result.refWakeups = double(wakeups(reader) - refWake0) / wall;
    result.repaints = double(paints.paints - paint0) / wall;
    result.boxUpdates = double(boxUpdates - box0) / wall;

    for (const pid_t child : {feeder, reader, bare}) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    form.StartStop_Click();
    close(ours.master);
    close(reference.master);
    return result;
}

// Runs a case `repetitions` times and prints each run and the median ratio.
// The plain reader's share varies from run to run on a shared machine, so
// one run proves little.
void report(const char *name, int chunk, double bytesPerSecond, double seconds, int repetitions)
{
    std::vector<Result> results;
    for (int i = 0; i < repetitions; ++i) {
        const Result r = runCase(chunk, bytesPerSecond, seconds);
        std::printf("  %-32s window %5.2f %%  plain reader %5.2f %%  ratio %5.2f  bare box %5.2f %% | window "
                    "%5.1f wakeups/s, %5.1f repaints/s, box updated %5.1f/s; reader %5.1f wakeups/s\n",
                    name, 100 * r.share, 100 * r.refShare, r.ratio(), 100 * r.bareShare, r.wakeups,
                    r.repaints, r.boxUpdates, r.refWakeups);
        std::fflush(stdout);
        results.push_back(r);
    }
    std::sort(results.begin(), results.end(),
              [](const Result &a, const Result &b) { return a.ratio() < b.ratio(); });
    const Result &median = results[results.size() / 2];
    std::vector<double> windowToBare;
    for (const Result &r : results)
        windowToBare.push_back(r.share / r.bareShare);
    std::sort(windowToBare.begin(), windowToBare.end());
    std::printf("%-34s median ratio %.2f (window %.2f %%, plain reader %.2f %%); window to bare box %.2f\n",
                name, median.ratio(), 100 * median.share, 100 * median.refShare,
                windowToBare[windowToBare.size() / 2]);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--bare-box") == 0)
        return bareBox(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 5;
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", "/nonexistent"); // the settings are in a temporary folder
    quorvel::Form1::prepareApplication(); // as the program does
    QApplication app(argc, argv);
    std::printf("platform %s, %.0f s a case\n", qPrintable(QGuiApplication::platformName()), seconds);
    report("4,800 bit/s, one byte a write", 1, 480, seconds, repetitions);
    report("115,200 bit/s, 32 bytes a write", 32, 11520, seconds, repetitions);
    return 0;
}
