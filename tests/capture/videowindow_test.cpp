// The video window: its window-like operations and how it paints frames.
#include "videowindow.h"
#include <gtest/gtest.h>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPointer>

namespace pelmora {
namespace {

TEST(VideoWindow, ShownOnlyWhenAskedAndDetachedItOutlivesItsOwner)
{
    auto* owner = new QWidget;
    owner->resize(800, 600);
    owner->show();
    QPointer<CVideoWindow> video = new CVideoWindow;
    video->put_Owner(owner);
    video->SetWindowPosition(69, 120, 412, 308);
    EXPECT_EQ(video->parentWidget(), owner);
    EXPECT_FALSE(video->isWindow());
    EXPECT_EQ(video->geometry(), QRect(69, 120, 412, 308));
    EXPECT_FALSE(video->isVisible());
    video->put_Visible(true);
    EXPECT_TRUE(video->isVisible());
    video->put_Owner(nullptr);
    EXPECT_EQ(video->parentWidget(), nullptr);
    EXPECT_FALSE(video->isVisible());
    delete owner;
    ASSERT_FALSE(video.isNull());
    delete video.data();
}

TEST(VideoWindow, PaintsTheLatestFrameScaledToItsSize)
{
    QImage frame(320, 240, QImage::Format_RGB32);
    frame.fill(QColor(0, 0, 255));
    QPainter(&frame).fillRect(0, 0, 320, 120, QColor(255, 0, 0));
    CVideoWindow video;
    video.SetWindowPosition(0, 0, 412, 308);
    video.show();
    EXPECT_EQ(video.grab().toImage().pixelColor(20, 15), QColor(0, 0, 0)) << "black without a frame";
    EXPECT_EQ(video.PaintedFrames(), 0u);
    video.ShowFrame(frame);
    video.ShowFrame(frame); // replaced before any paint: painted once
    EXPECT_EQ(video.ReceivedFrames(), 2u);

    const QImage shown = video.grab().toImage();
    ASSERT_EQ(shown.size(), QSize(412, 308));
    EXPECT_EQ(shown.pixelColor(5, 5), QColor(255, 0, 0));
    EXPECT_EQ(shown.pixelColor(406, 150), QColor(255, 0, 0));
    EXPECT_EQ(shown.pixelColor(5, 160), QColor(0, 0, 255));
    EXPECT_EQ(shown.pixelColor(406, 302), QColor(0, 0, 255));
    EXPECT_EQ(video.PaintedFrames(), 1u);

    // Repainting the same frame (an expose) is not a new frame.
    video.grab();
    EXPECT_EQ(video.PaintedFrames(), 1u);
    video.ShowFrame(frame);
    video.grab();
    EXPECT_EQ(video.PaintedFrames(), 2u);
}

} // namespace
} // namespace pelmora
