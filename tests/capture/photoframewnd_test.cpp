// The photo-frame window: its packages, frame range, outline as shape, and what reaches the screen.
#include "../package/bytes.h"
#include "packagewriter.h"
#include "photoframewnd.h"
#include "rgndata.h"
#include "testing.h"
#include "videowindow.h"

#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

namespace pelmora {
namespace {

struct FrameContent {
    std::optional<QByteArray> region; // REGION bytes; none: no resource
    std::optional<QColor> colour;     // IMAGE: a BMP of this colour; none: no resource
    QSize pictureSize{412, 309};
};

// A package with the given string entries (1 and 2 are the range) and frames.
QByteArray FramePackage(const std::map<std::uint16_t, QString>& strings, const std::map<int, FrameContent>& frames)
{
    std::vector<PackageResourceData> resources = StringTableResources(strings);
    for (const auto& [number, content] : frames) {
        if (content.region)
            resources.push_back({QStringLiteral("REGION"), 0, std::uint16_t(number), *content.region});
        if (content.colour) {
            QImage picture(content.pictureSize, QImage::Format_RGB888);
            picture.fill(*content.colour);
            resources.push_back({QStringLiteral("IMAGE"), 0, std::uint16_t(number + 1000), BmpBytes(picture)});
        }
    }
    return WriteResourcePackage(resources);
}

// The written file's path without the ".dll" the loader adds; empty if not written.
QString WritePackage(const QTemporaryDir& folder, const QString& fileName, const QByteArray& bytes)
{
    const QString path = folder.filePath(fileName);
    return testbytes::WriteAll(path, bytes) ? path.chopped(path.endsWith(".dll") ? 4 : 0) : QString();
}

const QColor kVideoColour(10, 160, 90);
const QColor kFrame1001Colour(200, 30, 40), kFrame1002Colour(20, 40, 210), kFrame1003Colour(230, 220, 30),
    kFrame1005Colour(120, 60, 150);

const QRegion kOutline1001 = QRegion(0, 0, 412, 60) | QRegion(0, 249, 412, 60);
const QRegion kOutline1002 = QRegion(0, 0, 80, 309) | QRegion(332, 0, 80, 309);
const QRegion kOutline1004 = QRegion(0, 0, 412, 100);

const FrameContent kShaped{WriteRegionData(kOutline1001), kFrame1001Colour};

QByteArray SixFrames()
{
    return FramePackage({{1, "1001"}, {2, "1006"}},
                        {{1001, kShaped},
                         {1002, {WriteRegionData(kOutline1002), kFrame1002Colour}},
                         {1003, {std::nullopt, kFrame1003Colour, QSize(200, 100)}},
                         {1004, {WriteRegionData(kOutline1004), std::nullopt}},
                         {1005, {WriteRegionData(QRegion()), kFrame1005Colour}},
                         {1006, {QByteArray("not a region"), kFrame1002Colour}}});
}

bool SameArea(const QRegion& a, const QRegion& b) { return a.xored(b).isEmpty(); }

class PhotoFrameWnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_frames = WritePackage(m_dir, "Frames.dll", SixFrames());
        ASSERT_FALSE(m_frames.isEmpty());
        m_owner.resize(800, 600);
        m_owner.show();
    }

    void Grab()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        QApplication::processEvents();
        m_screen = m_owner.screen()->grabWindow(m_owner.winId()).toImage();
        ASSERT_FALSE(m_screen.isNull());
    }
    QColor AtFrame(int fx, int fy) const { return m_screen.pixelColor(69 + fx, 120 + fy); }

    QWidget m_owner; // declared first: frames made in a test go before it
    QTemporaryDir m_dir;
    QString m_frames;
    QImage m_screen;
};

TEST_F(PhotoFrameWnd, StepsWithinTheRangeAndTakesEachOutlineAsItsShape)
{
    CPhotoFrameWnd frame;
    EXPECT_FALSE(frame.SetFrame(1001, true)) << "no package, no range";
    ASSERT_TRUE(frame.CreateFrameWindow(m_frames, 150, 90, nullptr, 1001));
    EXPECT_EQ(frame.GetFrame(), 1001);
    EXPECT_TRUE(frame.isVisible() && frame.windowFlags().testFlag(Qt::FramelessWindowHint)) << "without parent";
    EXPECT_EQ(frame.geometry(), QRect(150, 90, 412, 309));
    EXPECT_TRUE(SameArea(frame.mask(), kOutline1001));
    EXPECT_FALSE(frame.SetFrame(1000, true)) << "before the first";

    // Without repaint the shape waits; no REGION, an empty one or bytes not RGNDATA keep the shape before.
    const std::tuple<int, bool, QRegion> steps[] = {{1002, false, kOutline1001}, {1002, true, kOutline1002},
                                                    {1003, true, kOutline1002}, {1004, true, kOutline1004},
                                                    {1005, true, kOutline1004}, {1006, true, kOutline1004}};
    for (const auto& [number, repaint, shape] : steps) {
        ASSERT_TRUE(frame.SetFrame(number, repaint));
        EXPECT_EQ(frame.GetFrame(), number);
        EXPECT_TRUE(SameArea(frame.mask(), shape)) << number << " " << repaint;
    }
    EXPECT_FALSE(frame.SetFrame(1007, true));
    EXPECT_FALSE(frame.SetFrame(1001 - 65536, true)) << "the same 16-bit id outside the range";
    EXPECT_EQ(frame.GetFrame(), 1006);

    ASSERT_TRUE(frame.CreateFrameWindow(m_frames, 69, 120, &m_owner, 1003));
    EXPECT_TRUE(frame.mask().isEmpty()) << "started without an outline: the whole 412 by 309 rectangle";
}

TEST_F(PhotoFrameWnd, CreatedAtTheGivenFrameFocusToTheOwnerDestroyedKeepsThePackageRefusedNoWindow)
{
    m_owner.setFocusPolicy(Qt::StrongFocus);
    QApplication::setActiveWindow(&m_owner);
    ASSERT_TRUE(::WaitFor([&] { return m_owner.isActiveWindow(); }));
    CPhotoFrameWnd frame;
    ASSERT_TRUE(frame.CreateFrameWindow(m_frames, 69, 120, &m_owner, 1001));
    frame.setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(QApplication::focusWidget(), &m_owner);
    ASSERT_TRUE(frame.SetFrame(1003, true));

    frame.DestroyWindow();
    EXPECT_FALSE(frame.HasWindow() || frame.isVisible());
    EXPECT_EQ(frame.parentWidget(), nullptr) << "no longer among the owner's children";
    EXPECT_TRUE(frame.SetFrame(1004, false)) << "the range is still readable";

    // Entering again with another series, whose range strings are numbers of at most seven characters.
    const QString stars = WritePackage(m_dir, "Stars.dll", FramePackage({{1, "  1001xyz"}, {2, "12345678"}},
        {{1001, {WriteRegionData(kOutline1002), kFrame1002Colour}}}));
    ASSERT_TRUE(frame.CreateFrameWindow(stars, 69, 120, &m_owner, 1001));
    EXPECT_EQ(frame.GetFrame(), 1001);
    EXPECT_TRUE(SameArea(frame.mask(), kOutline1002));
    EXPECT_FALSE(frame.IsFrameInRange(1000));
    EXPECT_TRUE(frame.IsFrameInRange(1234567));
    EXPECT_FALSE(frame.IsFrameInRange(1234568));

    ASSERT_TRUE(frame.isVisible());
    const std::tuple<const char*, const char*, QByteArray> refused[] = {
        {"string 2 missing", "NoLast.dll", FramePackage({{1, "1001"}}, {{1001, kShaped}})},
        {"string 1 missing", "NoFirst.dll", FramePackage({{2, "1005"}}, {{1001, kShaped}})},
        {"range without 1001", "Later.dll", FramePackage({{1, "1002"}, {2, "1005"}}, {{1002, kShaped}})},
        {"a dot in the series name: no .dll appended", "Frames.old.dll", SixFrames()},
        {"not a library", "Text.dll", QByteArray("MZ but nothing more")},
    };
    for (const auto& [why, fileName, bytes] : refused) {
        SCOPED_TRACE(why);
        const QString written = WritePackage(m_dir, fileName, bytes);
        ASSERT_FALSE(written.isEmpty());
        EXPECT_FALSE(frame.CreateFrameWindow(written, 69, 120, &m_owner, 1001));
        EXPECT_FALSE(frame.HasWindow());
        EXPECT_FALSE(frame.isVisible()) << "the page shows the bare video";
        EXPECT_FALSE(frame.IsFrameInRange(1001));
    }
    EXPECT_TRUE(frame.CreateFrameWindow(m_frames, 69, 120, &m_owner, 1001)) << "the same bytes under a plain name";
}

// As on the capture page: a video window of plain colour, the frame at the screen position of (69, 120).
TEST_F(PhotoFrameWnd, OnScreenPictureInsideTheOutlineVideoOutside)
{
    m_owner.setGeometry(100, 50, 800, 600);
    m_owner.setAutoFillBackground(true);
    m_owner.setPalette(QPalette(QColor(250, 250, 250)));
    auto* video = new CVideoWindow(&m_owner);
    video->SetWindowPosition(69, 120, 412, 308);
    QImage picture(320, 240, QImage::Format_RGB32);
    picture.fill(kVideoColour);
    video->ShowFrame(picture);
    video->put_Visible(true);
    CPhotoFrameWnd frame;

    const QPoint screenPoint = m_owner.mapToGlobal(QPoint(69, 120));
    ASSERT_TRUE(frame.CreateFrameWindow(m_frames, screenPoint.x(), screenPoint.y(), &m_owner, 1003));
    Grab();
    EXPECT_EQ(AtFrame(199, 99), kFrame1003Colour) << "a 200 by 100 picture is drawn at its own size";
    EXPECT_EQ(AtFrame(200, 99), kVideoColour);
    EXPECT_EQ(AtFrame(199, 100), kVideoColour);

    ASSERT_TRUE(frame.CreateFrameWindow(m_frames, screenPoint.x(), screenPoint.y(), &m_owner, 1001));
    EXPECT_EQ(frame.parentWidget(), &m_owner);
    EXPECT_EQ(frame.geometry(), QRect(69, 120, 412, 309));
    Grab();
    EXPECT_EQ(AtFrame(0, 0), kFrame1001Colour);
    EXPECT_EQ(AtFrame(200, 300), kFrame1001Colour);
    EXPECT_EQ(AtFrame(0, 60), kVideoColour) << "outside the outline the video shows";
    EXPECT_EQ(AtFrame(206, 154), kVideoColour);
    EXPECT_EQ(AtFrame(-1, 0), QColor(250, 250, 250)) << "the window starts at x 69";

    ASSERT_TRUE(frame.SetFrame(1002, true));
    Grab();
    EXPECT_EQ(AtFrame(79, 30), kFrame1002Colour);
    EXPECT_EQ(AtFrame(332, 200), kFrame1002Colour);
    EXPECT_EQ(AtFrame(80, 30), kVideoColour);

    ASSERT_TRUE(frame.SetFrame(1004, true)); // an outline but no picture
    Grab();
    EXPECT_EQ(AtFrame(0, 0), kVideoColour);

    ASSERT_TRUE(frame.SetFrame(1001, true));
    frame.DestroyWindow();
    Grab();
    EXPECT_EQ(AtFrame(0, 0), kVideoColour);
}

} // namespace
} // namespace pelmora
