// The shutter's outlines and what they do to the screen; its sound, where sounds are found, and playing.
#include "../package/bytes.h"
#include "paths.h"
#include "shutter.h"
#include "sound.h"
#include "videowindow.h"
#include "testing.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QLabel>
#include <QScreen>
#include <gtest/gtest.h>
#include <vector>

namespace pelmora {
namespace {

TEST(ShutterGeometry, OutlinesRunFromTheVideoToTheNextStripSlot)
{
    const std::pair<int, QRect> ends[] = {{0, GdiRect(79, 453, 103, 547)}, {8, GdiRect(711, 453, 735, 547)},
                                          {9, GdiRect(658, 453, 682, 547)}, {100, GdiRect(658, 453, 682, 547)}};
    for (const auto& [count, end] : ends)
        EXPECT_EQ(ShutterEndRect(count), end) << count;

    EXPECT_EQ(ShutterOutlines(kShutterStartRect, ShutterEndRect(0), QPoint(0, 0)),
              (std::array<QRect, 10>{GdiRect(69, 120, 481, 429), GdiRect(70, 153, 444, 440),
                                     GdiRect(71, 186, 406, 452), GdiRect(72, 219, 368, 464),
                                     GdiRect(73, 253, 330, 476), GdiRect(74, 286, 292, 488),
                                     GdiRect(75, 319, 255, 499), GdiRect(76, 353, 217, 511),
                                     GdiRect(77, 386, 179, 523), GdiRect(78, 419, 141, 535)}));
    // 0.9 * (658 - 69) = 530.1, 0.9 * (682 - 481) = 180.9; outlines move with the origin.
    EXPECT_EQ(ShutterOutlines(kShutterStartRect, ShutterEndRect(9), QPoint(240, 133))[9],
              GdiRect(599, 419, 661, 535).translated(240, 133));
    // Truncation is toward zero on both sides: -0.5 steps give 0, not -1.
    const std::array<QRect, 10> tiny = ShutterOutlines(GdiRect(10, 10, 15, 15), GdiRect(5, 15, 10, 20), QPoint());
    EXPECT_EQ(tiny[1], GdiRect(10, 10, 15, 15));
    EXPECT_EQ(tiny[2], GdiRect(9, 11, 14, 16));
}

QColor Inverted(const QColor& c) { return QColor(255 - c.red(), 255 - c.green(), 255 - c.blue()); }

// The screen's picture of the window as the platform gives it, as native Wayland gives it (none) and as
// XWayland does (all black): the outlines look the same on each.
using ScreenGrab = std::pair<const char*, std::function<QImage(QWidget*)>>;
const ScreenGrab kScreenGrabs[] = {{"as_grabbed", GrabScreen},
                                   {"empty", [](QWidget*) { return QImage(); }},
                                   {"all_black", [](QWidget* w) {
                                        QImage black(w->size(), QImage::Format_RGB32);
                                        black.fill(Qt::black);
                                        return black;
                                    }}};

class ShutterOnScreen : public ::testing::TestWithParam<ScreenGrab> {};
INSTANTIATE_TEST_SUITE_P(Grabs, ShutterOnScreen, ::testing::ValuesIn(kScreenGrabs),
                         [](const auto& row) { return std::string(row.param.first); });

TEST_P(ShutterOnScreen, EachOutlineInvertsWhatLiesBeneathAndNothingStays)
{
    QWidget window;
    window.setGeometry(60, 40, 800, 600);
    window.setAutoFillBackground(true);
    window.setPalette(QPalette(QColor(30, 90, 200)));
    auto* video = new CVideoWindow(&window);
    QImage stripes(412, 308, QImage::Format_RGB32);
    for (int y = 0; y < stripes.height(); ++y)
        for (int x = 0; x < stripes.width(); ++x)
            stripes.setPixel(x, y, (x / 7 + y / 5) % 2 ? qRgb(240, 200, 20) : qRgb(20, 20, 20));
    video->ShowFrame(stripes);
    video->setGeometry(69, 120, 412, 308);
    auto* label = new QLabel("Strip", &window);
    label->setGeometry(24, 453, 634, 94);
    window.show();
    const auto screen = [&] { return window.screen()->grabWindow(window.winId()).toImage(); };
    QApplication::processEvents();
    const QImage before = screen();
    ASSERT_FALSE(before.isNull());

    // Given in the child's coordinates: outlines move with its origin.
    const QRect end = ShutterEndRect(3);
    const std::array<QRect, 10> outlines = ShutterOutlines(kShutterStartRect, end, QPoint(0, 0));
    std::vector<QImage> during;
    AnimateShutter(video, kShutterStartRect.translated(-69, -120), end.translated(-69, -120), kShutterStepDelayMs,
                   [&](int) { during.push_back(screen()); }, GetParam().second);
    ASSERT_EQ(during.size(), 10u);

    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        const QRect r = outlines[i];
        const QImage& shot = during[i];
        const QPoint mid = r.center();
        for (const QPoint p : {QPoint(mid.x(), r.top()), QPoint(mid.x(), r.bottom()), QPoint(r.left(), mid.y()),
                               QPoint(r.right(), mid.y()), r.topLeft(), r.bottomRight()})
            EXPECT_EQ(shot.pixelColor(p), Inverted(before.pixelColor(p))) << "on the line " << p.x() << "," << p.y();
        for (const QPoint p : {QPoint(mid.x(), r.top() + 3), QPoint(mid.x(), r.bottom() + 3),
                               QPoint(r.left() - 3, mid.y()), QPoint(r.right() - 3, mid.y())})
            EXPECT_EQ(shot.pixelColor(p), before.pixelColor(p)) << "3 pixels off " << p.x() << "," << p.y();
        if (i > 0) {
            const QRect previous = outlines[i - 1];
            const QPoint p(previous.left(), previous.center().y());
            if (!r.adjusted(-2, -2, 2, 2).contains(p) || r.adjusted(2, 2, -2, -2).contains(p)) {
                EXPECT_EQ(shot.pixelColor(p), before.pixelColor(p)) << "outline " << i - 1 << " erased";
            }
        }
    }
    EXPECT_EQ(screen(), before) << "nothing stays on screen";
    QApplication::processEvents();
    EXPECT_EQ(screen(), before) << "nor after pending paints";
}

using namespace testbytes;

const QString kCameraWav = QStringLiteral(PELMORA_BIN_DIR "/Camera.wav");

QByteArray Le32(quint32 v) { return Words({std::int32_t(v)}).toHex(); }

TEST(ShutterSound, CameraWavIsShortMonoPcmWithTwoClicksTheSameOnEveryRun)
{
    const QByteArray wav = ReadAll(kCameraWav);
    ASSERT_GE(wav.size(), 44);
    const quint32 dataBytes = quint32(wav.size() - 44);
    // RIFF size, "fmt " of 16 bytes: PCM, mono, 44100 Hz, 88200 bytes/s, 2-byte frames of 16 bits; data.
    EXPECT_EQ(wav.left(44).toHex(), ("52494646" + Le32(dataBytes + 36) + "57415645666d7420" "10000000" "0100" "0100"
                                     "44ac0000" "88580100" "0200" "1000" "64617461" + Le32(dataBytes)));
    const int count = int(dataBytes / 2);
    const auto sample = [&](int i) { return qFromLittleEndian<qint16>(wav.constData() + 44 + 2 * i); };
    EXPECT_GE(count, 44100 / 5) << "at least 0.2 s";
    EXPECT_LE(count, 44100 / 2) << "at most 0.5 s";
    const auto peak = [&](double from, double to) {
        int highest = 0;
        for (int i = int(from * 44100); i < std::min(count, int(to * 44100)); ++i)
            highest = std::max(highest, std::abs(int(sample(i))));
        return highest;
    };
    // Two clicks, loud at their start and decayed before the next; silence at the end.
    EXPECT_GT(peak(0.0, 0.02), 16000);
    EXPECT_LT(peak(0.06, 0.085), 4000);
    EXPECT_GT(peak(0.09, 0.11), 12000);
    EXPECT_LT(peak(0.25, 0.3), 100);
    EXPECT_EQ(sample(count - 1), 0);

    QTemporaryDir dir;
    const QString again = dir.filePath("Camera.wav");
    ASSERT_EQ(QProcess::execute(QStringLiteral(PELMORA_SHUTTER_SOUND_TOOL), {again}), 0);
    EXPECT_EQ(ReadAll(again), wav);
    EXPECT_NE(QProcess::execute(QStringLiteral(PELMORA_SHUTTER_SOUND_TOOL), {dir.filePath("no/such/dir.wav")}), 0);
}

class Sound : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_current.isValid() && QDir::setCurrent(m_current.path())); }
    void TearDown() override
    {
        QFile::remove(m_beside);
        QDir::setCurrent(m_previous);
    }
    QString Beside(const QString& name) { return m_beside = ExecutableFolder() + '/' + name; }
    QTemporaryDir m_current;
    QString m_previous = QDir::currentPath(), m_beside;
};

TEST_F(Sound, FoundInTheCurrentFolderThenTheProgramsFolderAndPlayedToTheEnd)
{
    const QString name = QStringLiteral("PelmoraLookupTest.wav");
    EXPECT_TRUE(FindSoundFile(name).isEmpty());
    ASSERT_TRUE(WriteAll(Beside(name), "RIFF"));
    EXPECT_EQ(FindSoundFile(name), m_beside);
    ASSERT_TRUE(WriteAll(m_current.filePath(name), "RIFF"));
    EXPECT_EQ(FindSoundFile(name), m_current.filePath(name));

    // A name with a folder is taken as it stands, relative to the current folder.
    ASSERT_TRUE(QDir(m_current.path()).mkdir("sub"));
    EXPECT_TRUE(FindSoundFile("sub/" + name).isEmpty());
    ASSERT_TRUE(WriteAll(m_current.filePath("sub/" + name), "RIFF"));
    EXPECT_EQ(FindSoundFile("sub/" + name), m_current.filePath("sub/" + name));
    EXPECT_EQ(FindSoundFile("sub\\" + name), m_current.filePath("sub/" + name));

    ASSERT_TRUE(QDir(m_current.path()).mkdir("Folder.wav"));
    EXPECT_TRUE(FindSoundFile("Folder.wav").isEmpty()) << "a folder is no sound";
    EXPECT_TRUE(FindSoundFile(QString()).isEmpty());

    // Played to the end, or a beep when there is nothing; the sound goes beside the test program.
    const QString broken = m_current.filePath("Broken.wav");
    ASSERT_TRUE(WriteAll(broken, QByteArrayLiteral("RIFF\x10\0\0\0WAVEthis is no sound at all")));
    QFile::remove(m_beside);
    QFile::remove(Beside("Camera.wav"));
    ASSERT_TRUE(QFile::copy(kCameraWav, m_beside));
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(PlaySoundFile(kCameraWav));
    EXPECT_TRUE(PlaySoundFile("Camera.wav"));
    EXPECT_FALSE(PlaySoundFile("NoSuchSound.wav"));
    EXPECT_FALSE(PlaySoundFile(broken));
    // Far above the sounds' length: only a hang exceeds it.
    EXPECT_LT(clock.elapsed(), 25000) << "no audio output must not hang";
}

} // namespace
} // namespace pelmora
