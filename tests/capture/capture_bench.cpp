// Measures the live view with the test camera: frames painted a second in the
// video window and the processor time the whole program takes meanwhile.
// Usage: capture_bench [seconds] (default 5). Runs headless by default.
#include "capturegraph.h"
#include "videowindow.h"
#include <cstdio>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <sys/resource.h>

namespace {

double ProcessorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 5.0;

    using namespace pelmora;
    CFrameGrabCallback callback;
    std::unique_ptr<CCaptureGraph> graph;
    const HRESULT hr = BuildCaptureGraph(&graph, &callback, [] {
        CaptureDeviceList devices;
        devices.push_back(MakeTestCamera(QStringLiteral("smpte")));
        return devices;
    });
    if (hr != S_OK) {
        std::fprintf(stderr, "capture_bench: building the graph failed (0x%08x)\n", unsigned(hr));
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
        std::fprintf(stderr, "capture_bench: the graph did not start\n");
        return 1;
    }

    // Measure from the first painted frame, once the pipeline has settled.
    QElapsedTimer wall;
    double cpuStart = 0;
    std::uint64_t paintedStart = 0, receivedStart = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!wall.isValid()) {
            if (video->PaintedFrames() == 0)
                return;
            wall.start();
            cpuStart = ProcessorSeconds();
            paintedStart = video->PaintedFrames();
            receivedStart = video->ReceivedFrames();
            return;
        }
        if (wall.elapsed() < qint64(seconds * 1000))
            return;
        const double elapsed = double(wall.nsecsElapsed()) / 1e9;
        const double cpu = ProcessorSeconds() - cpuStart;
        const double painted = double(video->PaintedFrames() - paintedStart);
        const double received = double(video->ReceivedFrames() - receivedStart);
        std::printf("capture_bench: test camera 320x240 YUY2 at 30/1, window 412x308, %.2f s\n",
                    elapsed);
        std::printf("  frames painted:   %.1f per second\n", painted / elapsed);
        std::printf("  frames received:  %.1f per second\n", received / elapsed);
        std::printf("  processor time:   %.1f%% of one core (user + system)\n",
                    100.0 * cpu / elapsed);
        app.quit();
    });
    poll.start(5);
    return app.exec();
}
