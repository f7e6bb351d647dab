// The video window alone in a plain window, in this process, with the test
// camera: during Capture sequences (the shutter sound played to its end and
// the ten outlines), frames painted per frame sent and the longest time
// between two painted frames, read off the screen; then the time from
// plugging the camera in again to the first frame on screen, and the longest
// time the window thread is held up meanwhile. (capture_bench measures the
// live picture of the booth itself.)
// Usage: video_window_bench [sequences] (default 5). Runs headless by default.
#include "capturegraph.h"
#include "livewait.h"
#include "shutter.h"
#include "testcamera.h"
#include "videowindow.h"
#include <algorithm>
#include <cstdio>
#include <vector>
#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QTimer>

namespace {

// A patch of the video area that none of the shutter's outlines crosses
// (they start at the video's edges and move down and left from there), so
// that only new camera frames change it on screen.
const QRect kPatch(100, 125, 30, 25);

// Watches the patch on screen and notes when it changes: with the "snow"
// pattern every camera frame differs everywhere.
class ScreenWatch {
public:
    explicit ScreenWatch(QWidget* window) : m_window(window) { m_clock.start(); }

    void Look()
    {
        const QImage shot = m_window->screen()
                                ->grabWindow(m_window->winId(), kPatch.x(), kPatch.y(),
                                             kPatch.width(), kPatch.height())
                                .toImage();
        const size_t hash = qHashBits(shot.constBits(), size_t(shot.sizeInBytes()));
        if (hash != m_last) {
            m_last = hash;
            m_changes.push_back(m_clock.elapsed());
        }
    }
    qint64 Now() const { return m_clock.elapsed(); }
    // Changes within [from, to) and the longest gap between two of them,
    // counting from `from` to the first and from the last to `to`.
    std::pair<int, qint64> Between(qint64 from, qint64 to) const
    {
        int count = 0;
        qint64 previous = from, gap = 0;
        for (qint64 t : m_changes) {
            if (t < from || t >= to)
                continue;
            ++count;
            gap = std::max(gap, t - previous);
            previous = t;
        }
        return {count, std::max(gap, to - previous)};
    }

    // The first change at or after `from`, -1 while there is none.
    qint64 FirstAfter(qint64 from) const
    {
        for (qint64 t : m_changes)
            if (t >= from)
                return t;
        return -1;
    }

private:
    QWidget* m_window;
    QElapsedTimer m_clock;
    size_t m_last = 0;
    std::vector<qint64> m_changes;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int sequences = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    using namespace pelmora;
    CFrameGrabCallback callback;
    std::unique_ptr<CCaptureGraph> graph;
    // The test camera as the booth finds it, through the device monitor, so
    // that it can be unplugged and plugged in again; handed out as V4L2 does,
    // and as slow to open as a UVC camera.
    qputenv("PELMORA_TEST_CAMERA", "snow");
    const TestCameraTraits uvc{0, 0, 40};
    SetTestCameraStyle(TestCameraStyle::V4l2);
    RegisterTestCameraProvider();
    FailTestCameras(true);
    PlugTestCamera(QStringLiteral("snow"), QStringLiteral("Pelmora Test Camera"), uvc);
    const HRESULT hr = BuildCaptureGraph(&graph, &callback);
    if (hr != S_OK) {
        std::fprintf(stderr, "video_window_bench: building the graph failed (0x%08x)\n", unsigned(hr));
        return 1;
    }

    QWidget owner;
    owner.resize(800, 600);
    CVideoWindow* video = graph->VideoWindow();
    video->put_Owner(&owner);
    video->SetWindowPosition(69, 120, 412, 308);
    video->put_Visible(true);
    owner.show();
    if (!graph->Run()) {
        std::fprintf(stderr, "video_window_bench: the graph did not start\n");
        return 1;
    }

    ScreenWatch screen(&owner);
    QTimer look;
    look.setTimerType(Qt::PreciseTimer);
    QObject::connect(&look, &QTimer::timeout, [&] { screen.Look(); });
    look.start(3);

    // From the first painted frame on, once the pipeline has settled.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (video->PaintedFrames() == 0)
            return;
        poll.stop();
        WaitPainting(1000);
        std::printf("video_window_bench: test camera 320x240 YUY2 at 30/1 (snow, V4L2 style, 40 ms to "
                    "open), window 412x308\n");

        // Capture sequences, each as the Capture command runs it.
        int paintedAll = 0;
        std::uint64_t sentAll = 0;
        qint64 worstGap = 0, totalMs = 0;
        for (int i = 0; i < sequences; ++i) {
            const std::uint64_t sentBefore = graph->SentFrames();
            const qint64 from = screen.Now();
            RunShutter(&owner, i % 10, QStringLiteral(PELMORA_BIN_DIR "/Camera.wav"));
            const qint64 to = screen.Now();
            const auto [n, longest] = screen.Between(from, to);
            paintedAll += n;
            sentAll += graph->SentFrames() - sentBefore;
            worstGap = std::max(worstGap, longest);
            totalMs += to - from;
        }
        std::printf("  %d Capture sequences (sound and shutter), %lld ms each on average:\n",
                    sequences, static_cast<long long>(totalMs / sequences));
        std::printf("    frames painted per frame sent: %d of %llu (%.0f%%)\n", paintedAll,
                    static_cast<unsigned long long>(sentAll),
                    sentAll ? 100.0 * paintedAll / double(sentAll) : 0.0);
        std::printf("    longest time between two painted frames: %lld ms\n",
                    static_cast<long long>(worstGap));

        // Replugs: the camera unplugged, then plugged in again once the graph
        // has let it go; timed to the first new frame on screen. Meanwhile a
        // 1 ms timer on the window thread shows how long the graph's work on
        // the camera end holds that thread up.
        std::vector<qint64> replugs;
        qint64 lastTick = -1, longestStall = 0;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = screen.Now();
            if (lastTick >= 0)
                longestStall = std::max(longestStall, now - lastTick);
            lastTick = now;
        });
        for (int i = 0; i < sequences; ++i) {
            WaitPainting(300);
            tick.start(1);
            FailTestCameras(true);
            WaitPaintingUntil([&] { return !graph->IsDelivering(); }, 5000);
            WaitPainting(300);
            const qint64 plugged = screen.Now();
            PlugTestCamera(QStringLiteral("snow"), QStringLiteral("Pelmora Test Camera"), uvc);
            if (WaitPaintingUntil([&] { return screen.FirstAfter(plugged) >= 0; }, 10000))
                replugs.push_back(screen.FirstAfter(plugged) - plugged);
            tick.stop();
            lastTick = -1;
        }
        std::sort(replugs.begin(), replugs.end());
        if (replugs.empty())
            std::printf("  replug: the picture never came back\n");
        else
            std::printf("  %zu replugs: first painted frame %lld ms after plugging in (median), "
                        "%lld ms at most\n",
                        replugs.size(), static_cast<long long>(replugs[replugs.size() / 2]),
                        static_cast<long long>(replugs.back()));
        std::printf("    longest window-thread stall from unplugging to the new camera's first "
                    "frame: %lld ms (goal: at most one frame interval, 33 ms)\n",
                    static_cast<long long>(longestStall));
        app.quit();
    });
    poll.start(5);
    return app.exec();
}
