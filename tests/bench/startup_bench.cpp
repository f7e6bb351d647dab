// Measures the booth's start-up as a user sees it: the time from starting the
// real executable to the welcome page fully painted on screen, and the
// resident memory of the program and of its whole process tree (the web
// engine's helper processes) at that moment.
//
// Nothing in the program is hooked: it runs with the test camera on a virtual
// X display of its own, and this program, connected to the same display,
// reads the screen every 10 ms. The welcome page is final once the screen has
// not changed for two seconds; it was painted at the first reading that
// already showed exactly that picture.
//
// Each run also starts a bare web-engine window showing the same welcome page
// (startup_bare_window), and the figures end with the ratio of the two.
//
// Usage: startup_bench [RUNS] [PROGRAM]   (5 runs of ${PELMORA_BIN_DIR}/Pelmora
// by default). Each run starts from empty configuration and cache folders.
#include "processes.h"
#include "xvfb.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <optional>
#include <sys/prctl.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kPollMs = 10;
constexpr int kStableMs = 2000;
constexpr int kRunTimeoutMs = 90000;
const QSize kScreenSize(1024, 768);
const QSize kWindowSize(800, 600);

std::atomic<bool> g_interrupted{false};

void OnSignal(int)
{
    g_interrupted = true;
}

// The kB figure of one "Name:  123 kB" line of a /proc file; nullopt when the
// process is gone or the line is missing.
std::optional<qint64> ProcKilobytes(const QString& path, const QByteArray& name)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // /proc files report size 0, so atEnd() is true at once: read to the end.
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& line : lines) {
        if (line.startsWith(name)) {
            const QList<QByteArray> fields = line.mid(name.size()).simplified().split(' ');
            bool ok = false;
            const qint64 value = fields.value(0).toLongLong(&ok);
            return ok ? std::optional<qint64>(value) : std::nullopt;
        }
    }
    return std::nullopt;
}

struct Memory {
    qint64 rssMainKb = 0;
    qint64 rssTreeKb = 0;
    // Resident pages shared between the processes (the libraries, the web
    // engine's zygote pages) count once per process in the RSS sum; the
    // proportional set size shares them out and so adds up.
    qint64 pssTreeKb = 0;
    int processes = 0;
};

Memory MemoryOf(pid_t root)
{
    Memory m;
    for (pid_t pid : ProcessTree(root)) {
        const auto rss = ProcKilobytes(QStringLiteral("/proc/%1/status").arg(pid), "VmRSS:");
        if (!rss)
            continue;
        if (pid == root)
            m.rssMainKb = *rss;
        m.rssTreeKb += *rss;
        m.pssTreeKb += ProcKilobytes(QStringLiteral("/proc/%1/smaps_rollup").arg(pid), "Pss:").value_or(0);
        ++m.processes;
    }
    return m;
}

struct Change {
    qint64 ms;
    size_t hash;
    Memory memory;
};

struct RunResult {
    QString error;
    double firstPixelsMs = 0;
    double paintedMs = 0;
    double settledMs = 0;
    Memory memory;
};

size_t HashOf(const QImage& image)
{
    return qHashBits(image.constBits(), size_t(image.sizeInBytes()));
}

// A plain window (the window colour before the page is there) is not the page:
// the welcome page is pictures, with many colours.
bool LooksLikeAPage(const QImage& screen, const QRect& window)
{
    QSet<QRgb> colours;
    for (int y = window.top(); y <= window.bottom() && colours.size() < 64; y += 3)
        for (int x = window.left(); x <= window.right() && colours.size() < 64; x += 3)
            colours.insert(screen.pixel(x, y));
    return colours.size() >= 64;
}

QRect FindWindow(const VirtualDisplay& display)
{
    for (const QRect& geometry : display.windows())
        if (geometry.size() == kWindowSize)
            return geometry;
    return {};
}

RunResult RunOnce(const VirtualDisplay& display, QScreen* screen, const QString& executable, size_t emptyHash)
{
    RunResult result;
    QTemporaryDir home;
    if (!home.isValid()) {
        result.error = QStringLiteral("cannot make a temporary folder");
        return result;
    }
    QProcessEnvironment env = WithPrivateFolders(display.environment(), home.path());
    env.insert(QStringLiteral("PELMORA_TEST_CAMERA"), QStringLiteral("smpte"));
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));

    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::MergedChannels);
    // Should this benchmark be killed outright, the program goes with it.
    program.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });

    // The previous run's window must be gone, or its pixels would count as
    // this run's first.
    QElapsedTimer clearing;
    clearing.start();
    while (HashOf(screen->grabWindow(0).toImage()) != emptyHash) {
        if (clearing.elapsed() > 10000) {
            result.error = QStringLiteral("the screen did not clear after the previous run");
            return result;
        }
        QThread::msleep(kPollMs);
    }

    std::vector<Change> changes;
    size_t last = emptyHash;
    qint64 lastChangeMs = 0;
    QElapsedTimer clock;
    clock.start();
    program.start(executable, {});
    if (!program.waitForStarted(10000)) {
        result.error = QStringLiteral("cannot start %1: %2").arg(executable, program.errorString());
        return result;
    }

    QImage shot;
    for (qint64 tick = 0;; ++tick) {
        const qint64 due = tick * kPollMs;
        const qint64 now = clock.elapsed();
        if (due > now)
            QThread::msleep(unsigned(due - now));
        shot = screen->grabWindow(0).toImage();
        const qint64 at = clock.elapsed();
        const size_t hash = HashOf(shot);
        if (hash != last) {
            changes.push_back({at, hash, MemoryOf(pid_t(program.processId()))});
            last = hash;
            lastChangeMs = at;
        }
        QCoreApplication::processEvents();
        if (g_interrupted) {
            result.error = QStringLiteral("interrupted");
            break;
        }
        if (program.state() == QProcess::NotRunning) {
            result.error = QStringLiteral("the program ended (exit code %1) before its page settled")
                               .arg(program.exitCode());
            break;
        }
        if (at > kRunTimeoutMs) {
            result.error = QStringLiteral("no settled page after %1 s").arg(kRunTimeoutMs / 1000);
            break;
        }
        if (hash == emptyHash || at - lastChangeMs < kStableMs)
            continue;
        const QRect window = FindWindow(display);
        if (window.isEmpty() || !LooksLikeAPage(shot, window)) {
            // A plain window that stays plain: keep waiting for the page.
            lastChangeMs = at;
            continue;
        }
        result.settledMs = double(at);
        break;
    }

    if (result.error.isEmpty()) {
        const auto painted = std::find_if(changes.begin(), changes.end(),
                                          [&](const Change& c) { return c.hash == last; });
        result.firstPixelsMs = double(changes.front().ms);
        result.paintedMs = double(painted->ms);
        result.memory = painted->memory;
    } else if (!g_interrupted) {
        const QByteArray output = program.readAll().right(2000);
        if (!output.isEmpty())
            std::fprintf(stderr, "startup_bench: the program said:\n%s\n", output.constData());
    }
    KillTree(program);
    return result;
}

struct Stats {
    double median, min, max;
};

Stats StatsOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {median, values.front(), values.back()};
}

double MiB(qint64 kb)
{
    return double(kb) / 1024.0;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 5;
    QString executable = QStringLiteral(PELMORA_BIN_DIR "/Pelmora");
    if (argc > 1) {
        runs = std::atoi(argv[1]);
        if (runs < 1) {
            std::fprintf(stderr, "usage: startup_bench [RUNS] [PROGRAM]\n");
            return 2;
        }
    }
    if (argc > 2)
        executable = QString::fromLocal8Bit(argv[2]);
    if (!QFile::exists(executable)) {
        std::fprintf(stderr, "startup_bench: %s does not exist\n", qPrintable(executable));
        return 1;
    }

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGHUP, OnSignal);

    // The display must exist before this program connects to it as its own
    // screen, so it comes before the application object.
    VirtualDisplay display(kScreenSize);
    if (!display.ok()) {
        std::fprintf(stderr, "startup_bench: Xvfb did not start\n");
        return 1;
    }
    // Only for this program's own connection to the display; Qt insists on
    // a runtime folder.
    QTemporaryDir ownRuntime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && ownRuntime.isValid())
        qputenv("XDG_RUNTIME_DIR", ownRuntime.path().toLocal8Bit());
    qputenv("DISPLAY", display.display().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        std::fprintf(stderr, "startup_bench: no screen on %s\n", qPrintable(display.display()));
        return 1;
    }
    const size_t emptyHash = HashOf(screen->grabWindow(0).toImage());

    std::printf("startup_bench: %s with the test camera (smpte), Xvfb %dx%d, %d runs\n",
                qPrintable(executable), kScreenSize.width(), kScreenSize.height(), runs);
    std::printf("  time from process start; memory when the welcome page was first painted\n\n");
    std::printf("  %-4s %13s %12s %12s %12s %10s %10s %6s\n", "run", "first pixels", "page painted",
                "page settled", "RSS program", "RSS tree", "PSS tree", "procs");
    std::printf("  %-4s %13s %12s %12s %12s %10s %10s %6s\n", "", "ms", "ms", "ms", "MiB", "MiB", "MiB", "");
    std::fflush(stdout);

    // Each run starts the booth, then the bare window, so that both meet the
    // same load on the machine.
    std::vector<RunResult> good;
    std::vector<double> barePainted;
    int failed = 0;
    auto report = [&](const char* what, int i, const RunResult& r) {
        if (!r.error.isEmpty()) {
            std::printf("  %-4d %s failed: %s\n", i, what, qPrintable(r.error));
            ++failed;
            return false;
        }
        std::printf("  %-4d %13.0f %12.0f %12.0f %12.1f %10.1f %10.1f %6d  %s\n", i, r.firstPixelsMs,
                    r.paintedMs, r.settledMs, MiB(r.memory.rssMainKb), MiB(r.memory.rssTreeKb),
                    MiB(r.memory.pssTreeKb), r.memory.processes, what);
        std::fflush(stdout);
        return true;
    };
    for (int i = 1; i <= runs && !g_interrupted; ++i) {
        const RunResult r = RunOnce(display, screen, executable, emptyHash);
        if (report("booth", i, r))
            good.push_back(r);
        if (g_interrupted)
            break;
        const RunResult bare = RunOnce(display, screen, QStringLiteral(PELMORA_BARE_WINDOW), emptyHash);
        if (report("bare window", i, bare))
            barePainted.push_back(bare.paintedMs);
    }
    if (g_interrupted)
        return 130;
    if (good.empty()) {
        std::printf("\n  no run reached a painted welcome page\n");
        return 1;
    }

    auto column = [&](auto field) {
        std::vector<double> values;
        for (const RunResult& r : good)
            values.push_back(field(r));
        return StatsOf(values);
    };
    const std::pair<const char*, Stats> rows[] = {
        {"first pixels (ms)", column([](const RunResult& r) { return r.firstPixelsMs; })},
        {"welcome page painted (ms)", column([](const RunResult& r) { return r.paintedMs; })},
        {"RSS of the program (MiB)", column([](const RunResult& r) { return MiB(r.memory.rssMainKb); })},
        {"RSS of its process tree (MiB)", column([](const RunResult& r) { return MiB(r.memory.rssTreeKb); })},
        {"PSS of its process tree (MiB)", column([](const RunResult& r) { return MiB(r.memory.pssTreeKb); })},
    };
    std::printf("\n  %-31s %10s %10s %10s   (%zu of %d runs)\n", "", "median", "min", "max", good.size(),
                runs);
    for (const auto& [name, s] : rows)
        std::printf("  %-31s %10.1f %10.1f %10.1f\n", name, s.median, s.min, s.max);
    if (!barePainted.empty()) {
        const Stats bare = StatsOf(barePainted);
        std::printf("  %-31s %10.1f %10.1f %10.1f\n", "bare window painted (ms)", bare.median, bare.min,
                    bare.max);
        std::printf("\n  booth / bare window, medians of the painted page: %.2f\n",
                    rows[1].second.median / bare.median);
    }
    return failed == 0 ? 0 : 1;
}
