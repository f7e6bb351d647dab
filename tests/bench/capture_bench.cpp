// Measures the live picture of the booth a user runs: the real program on
// its capture page (web view, photo frame and all), against a plain window
// that paints the frames of the very same capture graph and nothing else
// (capture_plain_window), both on one virtual X display at the same time, so
// that they meet the same load.
//
// Both use the test camera's "clock" picture: every frame carries the moment
// it left the camera. This program reads the two video areas off the X
// server every half millisecond and notes, for each new stamp, how long ago
// it left: the latency from the camera to the screen. Per phase it reports
// frames painted a second, latency median and 95th percentile, and the
// processor time of each program; phases alternate between a quiet machine
// and one made busy with a spinning process per core. Before anything the
// stamp reader is checked on a known frame painted by the video window.
//
// Nothing in the booth is hooked and nothing in its environment chooses how
// it draws: it is driven to its capture page with clicks, as a user does.
//
// Usage: capture_bench [SECONDS [ROUNDS]] [--display DISPLAY] [--program PATH]
//   SECONDS per phase (8), ROUNDS of a quiet and a busy phase (3); with
//   --display an X display that runs already (a desktop, say openbox on
//   Xvfb) instead of a private Xvfb, with room for both windows side by
//   side (1600 by 600); --program another booth than ${PELMORA_BIN_DIR}/Pelmora
//   (an installed one, say).
#include "clockstamp.h"
#include "processes.h"
#include "videowindow.h"
#include "xvfb.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <gst/video/video.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <map>
#include <optional>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace pelmora;
namespace cs = pelmora::clockstamp;

const QSize kScreenSize(1600, 600);
const QSize kWindowSize(800, 600);
// The video window in the booth's client area, and so in the plain window's.
const QRect kVideo(69, 120, 412, 308);
constexpr int kFrameWidth = 320;
constexpr int kFrameHeight = 240;

// Where the centre of stamp block i lies in a picture of the frame at `video`.
QPoint BlockCentre(int i, const QRect& video)
{
    const double x = cs::kLeft + (i % cs::kColumns + 0.5) * cs::kBlock;
    const double y = cs::kTop + (i / cs::kColumns + 0.5) * cs::kBlock;
    return video.topLeft() + QPoint(int(x * video.width() / kFrameWidth), int(y * video.height() / kFrameHeight));
}

// The part of the screen the stamp of a video area at `video` lies in.
QRect StampArea(const QRect& video)
{
    return QRect(BlockCentre(0, video), BlockCentre(cs::kBits - 1, video)).adjusted(-3, -3, 3, 3);
}

// The stamp in a picture holding the video area at `video`; nullopt while a
// block is neither black nor white (covered, or between two frames) or the
// check byte disagrees.
std::optional<std::uint32_t> ReadStamp(const QImage& picture, const QRect& video)
{
    std::uint64_t bits = 0;
    for (int i = 0; i < cs::kBits; ++i) {
        const QPoint centre = BlockCentre(i, video);
        int sum = 0;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                sum += qGray(picture.pixel(centre + QPoint(dx, dy)));
        const int grey = sum / 25;
        if (grey > 64 && grey < 192)
            return std::nullopt;
        bits = (bits << 1) | (grey >= 192 ? 1u : 0u);
    }
    const auto micros = std::uint32_t(bits >> 8);
    if (cs::StampBits(micros) != bits)
        return std::nullopt;
    return micros;
}

// The reader on a known frame: stamped by the camera's own code, converted
// as the capture graph converts for painting, painted by the video window.
bool ReaderReadsAKnownFrame()
{
    GstVideoInfo info;
    gst_video_info_set_format(&info, GST_VIDEO_FORMAT_YUY2, kFrameWidth, kFrameHeight);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info), nullptr);
    gst_buffer_memset(buffer, 0, 0x80, GST_VIDEO_INFO_SIZE(&info));
    const std::uint32_t known = 0x89ABCDEFu;
    if (!cs::WriteStamp(buffer, &info, known)) {
        gst_buffer_unref(buffer);
        return false;
    }
    GstCaps* caps = gst_video_info_to_caps(&info);
    GstSample* sample = gst_sample_new(buffer, caps, nullptr, nullptr);
    GstCaps* paintCaps = gst_caps_from_string("video/x-raw, format=BGRx, width=320, height=240");
    GstSample* converted = gst_video_convert_sample(sample, paintCaps, GST_SECOND, nullptr);
    gst_caps_unref(paintCaps);
    gst_sample_unref(sample);
    gst_caps_unref(caps);
    gst_buffer_unref(buffer);
    if (!converted)
        return false;
    GstMapInfo map;
    GstBuffer* bgrx = gst_sample_get_buffer(converted);
    gst_buffer_map(bgrx, &map, GST_MAP_READ);
    const QImage frame = QImage(map.data, kFrameWidth, kFrameHeight, QImage::Format_RGB32).copy();
    gst_buffer_unmap(bgrx, &map);
    gst_sample_unref(converted);

    CVideoWindow window;
    window.resize(kVideo.size());
    window.ShowFrame(frame);
    QImage painted = window.grab().toImage();
    const bool readsKnown = ReadStamp(painted, painted.rect()) == known;
    // One block turned over must not read as any time.
    const int flipped = 7;
    const bool white = (cs::StampBits(known) >> (cs::kBits - 1 - flipped)) & 1u;
    QPainter(&painted).fillRect(QRect(BlockCentre(flipped, painted.rect()) - QPoint(4, 4), QSize(9, 9)),
                                white ? Qt::black : Qt::white);
    const bool flippedBitRejected = !ReadStamp(painted, painted.rect());
    return readsKnown && flippedBitRejected;
}

// One program under measurement and what was seen of it in one phase.
struct Watched {
    explicit Watched(const char* what) : name(what) {}
    const char* name;
    QProcess process;
    QRect window;
    std::optional<std::uint32_t> last;
    std::vector<double> latenciesMs;
    int frames = 0;
    double cpuMain = 0, cpuTree = 0;

    pid_t Pid() const { return pid_t(process.processId()); }
    QRect Video() const { return kVideo.translated(window.topLeft()); }
    // Processor seconds of each process of the program's tree.
    std::map<pid_t, double> Seconds() const
    {
        std::map<pid_t, double> seconds;
        for (pid_t pid : ProcessTree(Pid()))
            if (const std::optional<double> used = ProcessorSeconds(pid))
                seconds[pid] = *used;
        return seconds;
    }
};

std::optional<std::uint32_t> StampOnScreen(QScreen* screen, const QRect& video)
{
    const QRect area = StampArea(video);
    const QImage shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
    return ReadStamp(shot, video.translated(-area.topLeft()));
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QThread::msleep(50);
        QCoreApplication::processEvents();
    }
    return true;
}

// The program's window of the booth's size; empty while there is none.
QString FindWindow(const VirtualDisplay& display, pid_t pid)
{
    const QStringList ids = display.run("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid)})
                                .split('\n', Qt::SkipEmptyParts);
    const QMap<QString, QRect> shown = display.windows();
    for (const QString& id : ids)
        if (shown.value(id).size() == kWindowSize)
            return id;
    return {};
}

// Waits until the area has changed from `before` and then stayed as it is
// for a second: a page that has loaded and painted.
bool WaitForNewStillPicture(QScreen* screen, const QRect& area, const QImage& before, int timeoutMs)
{
    QImage last = before;
    QElapsedTimer still;
    still.start();
    bool changed = false;
    return WaitUntil(
        [&] {
            const QImage now = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
            if (now != last) {
                last = now;
                changed = changed || now != before;
                still.restart();
            }
            return changed && still.elapsed() >= 1000;
        },
        timeoutMs);
}

// Welcome, the first layout, the first frame series, the capture page (its
// video shows stamped frames). A click the page was not ready for is made
// again.
bool DriveToCapturePage(const VirtualDisplay& display, QScreen* screen, const QRect& window)
{
    auto shot = [&] { return screen->grabWindow(0, window.x(), window.y(), window.width(), window.height()).toImage(); };
    auto click = [&](QPoint at) { display.click(window.topLeft() + at); };
    const QPoint getStarted(588, 316), firstItem(248, 160), next(573, 575);
    auto step = [&](const std::function<void()>& clicks, const std::function<bool(const QImage&)>& arrived) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            const QImage before = shot();
            clicks();
            if (arrived(before))
                return true;
        }
        return false;
    };
    auto settled = [&](const QImage& before) { return WaitForNewStillPicture(screen, window, before, 20000); };
    auto chooseFirst = [&] {
        click(firstItem);
        click(next);
    };
    // The welcome page, once the web engine has painted it.
    WaitForNewStillPicture(screen, window, QImage(), 60000);
    return step([&] { click(getStarted); }, settled) && step(chooseFirst, settled) &&
           step(chooseFirst, [&](const QImage&) {
               return WaitUntil([&] { return StampOnScreen(screen, kVideo.translated(window.topLeft())).has_value(); },
                                20000);
           });
}

// A process per core that spins until the phase ends.
std::vector<pid_t> StartSpinners()
{
    std::vector<pid_t> spinners;
    for (long i = 0; i < sysconf(_SC_NPROCESSORS_ONLN); ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::setpriority(PRIO_PROCESS, 0, 0);
            std::atomic<unsigned> spins{0};
            for (;;)
                spins.fetch_add(1, std::memory_order_relaxed);
        }
        if (pid > 0)
            spinners.push_back(pid);
    }
    return spinners;
}

void StopSpinners(const std::vector<pid_t>& spinners)
{
    for (pid_t pid : spinners) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
}

// Reads both video areas every half millisecond for `seconds`.
void MeasurePhase(QScreen* screen, std::vector<Watched*> watched, double seconds)
{
    std::vector<std::map<pid_t, double>> before;
    for (Watched* w : watched) {
        w->latenciesMs.clear();
        w->frames = 0;
        before.push_back(w->Seconds());
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.nsecsElapsed() < qint64(seconds * 1e9)) {
        for (Watched* w : watched) {
            const std::optional<std::uint32_t> stamp = StampOnScreen(screen, w->Video());
            const std::uint32_t now = cs::NowMicros();
            if (!stamp || stamp == w->last)
                continue;
            w->last = stamp;
            ++w->frames;
            // Modulo 2^32, as the stamp is.
            w->latenciesMs.push_back(double(std::uint32_t(now - *stamp)) / 1000.0);
        }
        const timespec pause{0, 500000};
        nanosleep(&pause, nullptr);
    }
    const double elapsed = double(clock.nsecsElapsed()) / 1e9;
    for (size_t i = 0; i < watched.size(); ++i) {
        // A helper that started meanwhile counts from nothing; one that ended
        // takes its last seconds along.
        double main = 0, tree = 0;
        for (const auto& [pid, total] : watched[i]->Seconds()) {
            const auto known = before[i].find(pid);
            const double used = total - (known == before[i].end() ? 0.0 : known->second);
            main += pid == watched[i]->Pid() ? used : 0.0;
            tree += used;
        }
        watched[i]->cpuMain = 100.0 * main / elapsed;
        watched[i]->cpuTree = 100.0 * tree / elapsed;
    }
}

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

// Everything seen of one program in all phases of one kind.
struct Totals {
    std::vector<double> latenciesMs;
    int frames = 0;
    double seconds = 0, cpuMain = 0, cpuTree = 0; // processor seconds
    double Fps() const { return frames / seconds; }
    double Median() const { return Percentile(latenciesMs, 0.5); }
    double P95() const { return Percentile(latenciesMs, 0.95); }
    double CpuMain() const { return 100.0 * cpuMain / seconds; }
    double CpuTree() const { return 100.0 * cpuTree / seconds; }
};

QString LoadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(' ', 0, 2) : QString();
}

} // namespace

int main(int argc, char** argv)
{
    double seconds = 8;
    int rounds = 3;
    QString existingDisplay;
    QString program = QStringLiteral(PELMORA_BIN_DIR "/Pelmora");
    std::vector<const char*> numbers;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--display" && i + 1 < argc)
            existingDisplay = QString::fromLocal8Bit(argv[++i]);
        else if (QByteArray(argv[i]) == "--program" && i + 1 < argc)
            program = QString::fromLocal8Bit(argv[++i]);
        else
            numbers.push_back(argv[i]);
    }
    if (numbers.size() > 0)
        seconds = std::max(1.0, std::atof(numbers[0]));
    if (numbers.size() > 1)
        rounds = std::max(1, std::atoi(numbers[1]));

    // The display must exist before this program connects to it as its own.
    std::unique_ptr<VirtualDisplay> display = existingDisplay.isEmpty()
                                                  ? std::make_unique<VirtualDisplay>(kScreenSize)
                                                  : std::make_unique<VirtualDisplay>(existingDisplay);
    if (!display->ok()) {
        std::fprintf(stderr, "capture_bench: Xvfb did not start\n");
        return 1;
    }
    QTemporaryDir home;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit());
    qputenv("DISPLAY", display->display().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    gst_init(nullptr, nullptr);
    QScreen* screen = QGuiApplication::primaryScreen();

    std::printf("capture_bench: the booth (%s) on its capture page against a plain window painting\n"
                "  the same capture graph (capture_plain_window), side by side on %s display %s;\n"
                "  test camera \"clock\" 320x240 at 30 frames a second, %d rounds of %.0f s quiet and %.0f s busy\n",
                qPrintable(program), existingDisplay.isEmpty() ? "a private Xvfb" : "the",
                qPrintable(display->display()), rounds, seconds, seconds);
    if (!ReaderReadsAKnownFrame()) {
        std::printf("  the stamp reader fails on a known frame: no figures\n");
        return 1;
    }
    std::printf("  stamp reader checked on a known frame painted by the video window: reads it, "
                "rejects a flipped bit\n");
    std::fflush(stdout);

    // Nothing of the user's choice of drawing reaches the programs: the booth
    // as installed.
    QProcessEnvironment env = WithPrivateFolders(display->environment(), home.path());
    for (const char* name : {"QT_QUICK_BACKEND", "QSG_RHI_BACKEND", "QMLSCENE_DEVICE", "LIBGL_ALWAYS_SOFTWARE"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("PELMORA_TEST_CAMERA"), QStringLiteral("clock"));
    Watched booth("booth");
    Watched plain("plain window");
    for (Watched* w : {&booth, &plain}) {
        w->process.setProcessEnvironment(env);
        w->process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        w->process.setStandardOutputFile(QProcess::nullDevice());
        w->process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    }
    booth.process.start(program, {});
    plain.process.start(QStringLiteral(PELMORA_PLAIN_WINDOW), {"800", "0"});
    auto fail = [&](const char* what) {
        const QString shot = QDir::temp().filePath(QStringLiteral("capture_bench-failed.png"));
        screen->grabWindow(0).save(shot);
        std::printf("  %s (the screen then: %s)\n", what, qPrintable(shot));
        KillTree(booth.process);
        KillTree(plain.process);
        return 1;
    };
    // The booth centres itself; moved to the left, it leaves the right half
    // of the screen to the plain window.
    QString boothId, plainId;
    if (!WaitUntil([&] { return !(boothId = FindWindow(*display, booth.Pid())).isEmpty(); }, 60000) ||
        !WaitUntil([&] { return !(plainId = FindWindow(*display, plain.Pid())).isEmpty(); }, 60000))
        return fail("a window did not show");
    display->run("xdotool", {"windowmove", boothId, "0", "0"});
    WaitUntil([&] { return display->windows().value(boothId).topLeft() == QPoint(0, 0); }, 5000);
    booth.window = display->windows().value(boothId);
    plain.window = display->windows().value(plainId);
    if (booth.window.intersects(plain.window))
        return fail("the two windows overlap: the display is too small");
    if (!DriveToCapturePage(*display, screen, booth.window))
        return fail("the booth did not reach its capture page");
    for (Watched* w : {&booth, &plain})
        if (!WaitUntil([&] { return StampOnScreen(screen, w->Video()).has_value(); }, 30000))
            return fail("no stamped frame on screen (is the photo frame over the stamp?)");

    // The reader, when it may, goes before the programs and the spinners, so
    // that a busy machine delays the frames rather than their reading.
    ::setpriority(PRIO_PROCESS, 0, -10);
    std::map<bool, std::pair<Totals, Totals>> totals; // busy -> booth, plain
    std::printf("\n  %-5s %-5s %-13s %9s %9s %9s %10s %10s  %s\n", "round", "phase", "window", "frames/s",
                "median", "p95", "CPU main", "CPU tree", "load average");
    std::printf("  %-5s %-5s %-13s %9s %9s %9s %10s %10s\n", "", "", "", "", "ms", "ms", "% of core", "% of core");
    for (int round = 1; round <= rounds; ++round) {
        for (bool busy : {false, true}) {
            const std::vector<pid_t> spinners = busy ? StartSpinners() : std::vector<pid_t>();
            MeasurePhase(screen, {&booth, &plain}, seconds);
            StopSpinners(spinners);
            const QString load = LoadAverage();
            for (Watched* w : {&booth, &plain}) {
                Totals& t = w == &booth ? totals[busy].first : totals[busy].second;
                t.latenciesMs.insert(t.latenciesMs.end(), w->latenciesMs.begin(), w->latenciesMs.end());
                t.frames += w->frames;
                t.seconds += seconds;
                t.cpuMain += w->cpuMain * seconds / 100.0;
                t.cpuTree += w->cpuTree * seconds / 100.0;
                std::printf("  %-5d %-5s %-13s %9.1f %9.1f %9.1f %10.1f %10.1f  %s\n", round, busy ? "busy" : "quiet",
                            w->name, w->frames / seconds, Percentile(w->latenciesMs, 0.5),
                            Percentile(w->latenciesMs, 0.95), w->cpuMain, w->cpuTree,
                            w == &booth ? qPrintable(load) : "");
            }
            std::fflush(stdout);
        }
    }
    KillTree(booth.process);
    KillTree(plain.process);

    for (bool busy : {false, true}) {
        const Totals& b = totals[busy].first;
        const Totals& p = totals[busy].second;
        std::printf("\n  %s machine, all rounds       booth    plain   booth - plain   booth / plain\n",
                    busy ? "busy" : "quiet");
        std::printf("    frames painted a second %8.1f %8.1f\n", b.Fps(), p.Fps());
        std::printf("    latency median (ms)     %8.1f %8.1f %12.1f    (goal: within 4)\n", b.Median(), p.Median(),
                    b.Median() - p.Median());
        std::printf("    latency p95 (ms)        %8.1f %8.1f %12.1f    (goal: within 10)\n", b.P95(), p.P95(),
                    b.P95() - p.P95());
        std::printf("    CPU main process (%%)    %8.1f %8.1f %28.2f   (goal: at most 3)\n", b.CpuMain(),
                    p.CpuMain(), p.CpuMain() > 0 ? b.CpuMain() / p.CpuMain() : 0.0);
        std::printf("    CPU process tree (%%)    %8.1f %8.1f %28.2f\n", b.CpuTree(), p.CpuTree(),
                    p.CpuTree() > 0 ? b.CpuTree() / p.CpuTree() : 0.0);
    }
    return 0;
}
