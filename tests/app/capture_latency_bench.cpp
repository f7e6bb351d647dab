// Capture latency: from the end of the shutter animation (the frame request)
// to the framed photo in the strip, with the test camera at 30 frames a
// second, through the wizard window's own Capture command.
#include "boothdlg.h"
#include "capturedevice.h"
#include "capturegraph.h"
#include "composition.h"
#include "paths.h"
#include "resscheme.h"
#include "stickersheet.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace pelmora;

int main(int argc, char** argv)
{
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    RegisterWizardSchemes();
    QApplication app(argc, argv);
    ChooseWindowComposition();
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;

    // The shipped 16-place layout and Hearts series (412 by 309 pictures, so
    // every photo takes the stretching path).
    QDir(ResourceFolder()).removeRecursively();
    QDir().mkpath(ResourceFolder());
    for (const char* name : {"16 Photos.dat", "Hearts.dll"})
        QFile::copy(QStringLiteral(PELMORA_BIN_DIR "/Resource/") + name, ResourceFolder() + "/" + name);

    std::unique_ptr<CCaptureGraph> graph;
    CFrameGrabCallback grabber;
    if (BuildCaptureGraph(&graph, &grabber, [] {
            CaptureDeviceList devices;
            devices.push_back(MakeTestCamera(QStringLiteral("ball")));
            return devices;
        }) != S_OK) {
        std::fprintf(stderr, "capture_latency_bench: the test camera did not start\n");
        return 1;
    }
    CBoothDlg dlg;
    dlg.SetCapture(graph.get(), &grabber);
    dlg.Create();
    dlg.OnNextToLayout();
    dlg.List()->setCurrentRow(dlg.List()->row(dlg.List()->findItems("16 Photos.dat", Qt::MatchExactly).value(0)));
    if (!dlg.OnNextToSeries())
        return 1;
    dlg.List()->setCurrentRow(0);
    if (!dlg.OnNextToCapture())
        return 1;

    QElapsedTimer warm;
    warm.start();
    while (warm.elapsed() < 1000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);

    std::vector<double> latencies;
    for (int r = 0; r < rounds; ++r) {
        CStickerSheet* sheet = dlg.Sheet();
        if (sheet->GetPhotoCount() == sheet->GetCapacity()) {
            while (sheet->GetPhotoCount() > 0)
                sheet->RemovePhoto(1);
            dlg.RefreshPhotoStrip(sheet);
        }
        const int before = sheet->GetPhotoCount();
        dlg.ExecuteCommand(QStringLiteral("Capture/")); // returns right after the frame request
        QElapsedTimer t;
        t.start();
        while (dlg.List()->count() == before && t.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::AllEvents, 1);
        latencies.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("capture latency, %d photos, test camera at 30 fps (frame interval 33.3 ms):\n",
                int(latencies.size()));
    std::printf("  median %.1f ms   min %.1f ms   max %.1f ms   (target: under 66.7 ms)\n",
                latencies[latencies.size() / 2], latencies.front(), latencies.back());
    dlg.hide();
    QDir(ResourceFolder()).removeRecursively();
    return 0;
}
