// The shutter animation: its ten outlines, and what it does to the screen.
#include "shutter.h"
#include "testing.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <gtest/gtest.h>
#include <vector>

namespace pelmora {
namespace {

TEST(ShutterGeometry, OutlinesRunFromTheVideoToTheNextStripSlot)
{
    const std::pair<int, QRect> ends[] = {{0, GdiRect(79, 453, 103, 547)}, {1, GdiRect(158, 453, 182, 547)},
                                          {8, GdiRect(711, 453, 735, 547)}, {9, GdiRect(658, 453, 682, 547)},
                                          {100, GdiRect(658, 453, 682, 547)}};
    for (const auto& [count, end] : ends)
        EXPECT_EQ(ShutterEndRect(count), end) << count;

    EXPECT_EQ(ShutterOutlines(kShutterStartRect, ShutterEndRect(0), QPoint(0, 0)),
              (std::array<QRect, 10>{GdiRect(69, 120, 481, 429), GdiRect(70, 153, 444, 440),
                                     GdiRect(71, 186, 406, 452), GdiRect(72, 219, 368, 464),
                                     GdiRect(73, 253, 330, 476), GdiRect(74, 286, 292, 488),
                                     GdiRect(75, 319, 255, 499), GdiRect(76, 353, 217, 511),
                                     GdiRect(77, 386, 179, 523), GdiRect(78, 419, 141, 535)}));
    // 0.9 * (658 - 69) = 530.1, 0.9 * (682 - 481) = 180.9; at another
    // origin every outline moves with it.
    const std::array<QRect, 10> full = ShutterOutlines(kShutterStartRect, ShutterEndRect(9), QPoint(0, 0));
    EXPECT_EQ(full[9], GdiRect(599, 419, 661, 535));
    const std::array<QRect, 10> moved = ShutterOutlines(kShutterStartRect, ShutterEndRect(9), QPoint(240, 133));
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(moved[i], full[i].translated(240, 133)) << "outline " << i;
    // Truncation is toward zero on both sides: -0.5 steps give 0, not -1.
    const std::array<QRect, 10> tiny = ShutterOutlines(GdiRect(10, 10, 15, 15), GdiRect(5, 15, 10, 20), QPoint());
    EXPECT_EQ(tiny[1], GdiRect(10, 10, 15, 15));
    EXPECT_EQ(tiny[2], GdiRect(9, 11, 14, 16));
}

// A main window of plain colour with a patterned child where the video is.
class ShutterOnScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_window.setGeometry(60, 40, 800, 600);
        m_window.setAutoFillBackground(true);
        m_window.setPalette(QPalette(QColor(30, 90, 200)));
        auto* video = new QLabel(&m_window);
        QImage stripes(412, 308, QImage::Format_RGB32);
        for (int y = 0; y < stripes.height(); ++y)
            for (int x = 0; x < stripes.width(); ++x)
                stripes.setPixel(x, y, (x / 7 + y / 5) % 2 ? qRgb(240, 200, 20) : qRgb(20, 20, 20));
        video->setPixmap(QPixmap::fromImage(stripes));
        video->setGeometry(69, 120, 412, 308);
        m_window.show();
    }

    QImage Screen() const { return m_window.screen()->grabWindow(m_window.winId()).toImage(); }

    QWidget m_window;
};

QColor Inverted(const QColor& c)
{
    return QColor(255 - c.red(), 255 - c.green(), 255 - c.blue());
}

TEST_F(ShutterOnScreen, EachOutlineInvertsWhatLiesBeneathAndNothingStays)
{
    ASSERT_TRUE(::WaitFor([&] { return m_window.isVisible(); }));
    QApplication::processEvents();
    const QImage before = Screen();
    ASSERT_FALSE(before.isNull());

    const QRect end = ShutterEndRect(3);
    const std::array<QRect, 10> outlines = ShutterOutlines(kShutterStartRect, end, QPoint(0, 0));
    std::vector<QImage> during;
    AnimateShutter(&m_window, kShutterStartRect, end, kShutterStepDelayMs,
                   [&](int) { during.push_back(Screen()); });
    ASSERT_EQ(during.size(), 10u);

    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        const QRect r = outlines[i];
        const QImage& shot = during[i];
        const int midX = (r.left() + r.right()) / 2;
        const int midY = (r.top() + r.bottom()) / 2;
        // The 2-pixel line lies on the edges themselves.
        for (const QPoint p : {QPoint(midX, r.top()), QPoint(midX, r.bottom()), QPoint(r.left(), midY),
                               QPoint(r.right(), midY), r.topLeft(), r.bottomRight()})
            EXPECT_EQ(shot.pixelColor(p), Inverted(before.pixelColor(p))) << p.x() << "," << p.y();
        // Three pixels off the line nothing changes, inside or out.
        for (const QPoint p : {QPoint(midX, r.top() + 3), QPoint(midX, r.bottom() + 3),
                               QPoint(r.left() - 3, midY), QPoint(r.right() - 3, midY)})
            EXPECT_EQ(shot.pixelColor(p), before.pixelColor(p)) << p.x() << "," << p.y();
        // Only one outline at a time.
        if (i > 0) {
            const QRect previous = outlines[i - 1];
            const QPoint p(previous.left(), (previous.top() + previous.bottom()) / 2);
            if (!r.adjusted(-2, -2, 2, 2).contains(p) || r.adjusted(2, 2, -2, -2).contains(p)) {
                EXPECT_EQ(shot.pixelColor(p), before.pixelColor(p)) << "outline " << i - 1 << " erased";
            }
        }
    }
    EXPECT_EQ(Screen(), before) << "nothing stays on screen";
    QApplication::processEvents();
    EXPECT_EQ(Screen(), before) << "nor after pending paints";
}

TEST_F(ShutterOnScreen, ClientCoordinatesOfAChildWindow)
{
    // A window given in client coordinates of a child at (100, 30): outlines
    // move with that child's origin.
    auto* inner = new QWidget(&m_window);
    inner->setGeometry(100, 30, 600, 500);
    inner->show();
    QApplication::processEvents();
    const QImage before = Screen();
    const QRect start = GdiRect(10, 10, 200, 150);
    std::vector<QImage> during;
    AnimateShutter(inner, start, GdiRect(10, 10, 20, 20), 0, [&](int) { during.push_back(Screen()); });
    ASSERT_EQ(during.size(), 10u);
    const QPoint corner(100 + 10, 30 + 10);
    EXPECT_EQ(during[0].pixelColor(corner), Inverted(before.pixelColor(corner)));
    EXPECT_EQ(during[0].pixelColor(QPoint(100 + 200, 30 + 80)), Inverted(before.pixelColor(QPoint(300, 110))));
    EXPECT_EQ(Screen(), before);
}

} // namespace
} // namespace pelmora
