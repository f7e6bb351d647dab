// The yardstick of capture_bench: a plain frameless window of the booth's
// size with nothing in it but the video window, at the booth's place for it,
// painting the frames of the very same capture graph (the camera the booth
// would find). No web view, no wizard.
// Usage: capture_plain_window X Y   (the window's top-left corner on screen)
#include "capturegraph.h"
#include "videowindow.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    using namespace pelmora;
    CFrameGrabCallback callback;
    std::unique_ptr<CCaptureGraph> graph;
    if (BuildCaptureGraph(&graph, &callback) != S_OK) {
        std::fprintf(stderr, "capture_plain_window: no camera\n");
        return 1;
    }
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window.setFixedSize(800, 600);
    window.move(argc > 2 ? QPoint(std::atoi(argv[1]), std::atoi(argv[2])) : QPoint(0, 0));
    CVideoWindow* video = graph->VideoWindow();
    video->put_Owner(&window);
    video->SetWindowPosition(69, 120, 412, 308);
    video->put_Visible(true);
    window.show();
    if (!graph->Run()) {
        std::fprintf(stderr, "capture_plain_window: the graph did not start\n");
        return 1;
    }
    return app.exec();
}
