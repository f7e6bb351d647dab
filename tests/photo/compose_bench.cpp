// Composition of one photo, as the window does it for every capture: a
// 320 x 240 frame picture used as it is, and a 412 x 309 one stretched with
// its outline through a mask.
#include "compose.h"
#include "photofixtures.h"

#include <QRegion>
#include <benchmark/benchmark.h>

namespace {

// An outline like a frame's: a border band with a rounded window cut out.
QRegion frameOutline(int width, int height)
{
    const QRegion window(QRect(width / 8, height / 8, width * 3 / 4, height * 3 / 4), QRegion::Ellipse);
    return QRegion(0, 0, width, height).subtracted(window);
}

void composeFramedPhoto(benchmark::State& state, int width, int height)
{
    const QImage screen = fixtures::deviceAt(96);
    const QByteArray camera = pelmora::ImageToBmpPixels(fixtures::patternImage(320, 240, 1));
    const CPicture frame = fixtures::pictureOf(fixtures::patternImage(width, height, 2));
    const QRegion outline = frameOutline(width, height);
    for (auto _ : state) {
        QByteArray file = ComposeFramedPhotoFile(camera, &frame, &outline, &screen);
        benchmark::DoNotOptimize(file.data());
    }
    state.SetLabel(std::to_string(outline.rectCount()) + " outline rectangles");
}

BENCHMARK_CAPTURE(composeFramedPhoto, frame320x240, 320, 240)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(composeFramedPhoto, frame412x309, 412, 309)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
