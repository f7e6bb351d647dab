// The resources, read without the web engine.
#include "../package/bytes.h"
#include "bmp.h"
#include "testing.h"
#include "wizardresources.h"
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr auto readResource = testbytes::ReadAll;

TEST(WizardResources, PagesNameOnlyPicturesThatExistAndUseThemAll)
{
    pelmora::InitWizardResources();
    pelmora::InitWizardResources(); // harmless when repeated
    QSet<QString> stored;
    for (QDirIterator it(QStringLiteral(":/pages"), QDir::Files); it.hasNext();)
        stored.insert(QFileInfo(it.next()).fileName());
    // Pictures, scripts, the style sheet and cell backgrounds; the "pk://" links are no resources.
    const QRegularExpression reference(QStringLiteral(R"re((?:(?:src|href)="([^"]+)")|(?:url\(([^)]+)\)))re"));
    QSet<QString> named;
    for (const char* page : {"WELCOME.HTM", "LAYOUT.HTM", "SERIES.HTM", "CAPTURE.HTM", "Wizard.css"}) {
        ASSERT_TRUE(stored.contains(QLatin1String(page))) << page;
        const QString html = QString::fromUtf8(readResource(QStringLiteral(":/pages/") + QLatin1String(page)));
        for (const auto& match : reference.globalMatch(html)) {
            const QString name = match.captured(1) + match.captured(2);
            if (name.startsWith(QLatin1String("pk://")))
                continue;
            EXPECT_FALSE(name.contains(QLatin1Char('/'))) << "bare names only: " << name.toStdString();
            EXPECT_TRUE(stored.contains(name)) << page << " names " << name.toStdString();
            named.insert(name);
        }
    }
    for (const QString& file : stored)
        EXPECT_TRUE(file.endsWith(QLatin1String(".HTM")) || named.contains(file)) << file.toStdString() << " is used by no page";
    EXPECT_EQ(named.size(), stored.size() - 4); // all but the pages themselves
}

TEST(WizardResources, ListBitmapsAre24BitBottomUpFilesTheFilmCellAndIconLookTheirPart)
{
    const struct { const char* path; int width, height; } bitmaps[] = {
        {":/bitmaps/139.bmp", 71, 53}, {":/bitmaps/169.bmp", 79, 96}};
    for (const auto& b : bitmaps) {
        SCOPED_TRACE(b.path);
        const QByteArray file = readResource(QLatin1String(b.path));
        const qsizetype pixelBytes = qsizetype(pelmora::BmpRowStride(b.width)) * b.height;
        // 24 bits, no compression, rows bottom-up (a positive height).
        EXPECT_EQ(file.left(54), pelmora::BmpHeader(b.width, b.height, std::uint32_t(pixelBytes)));
        ASSERT_EQ(file.size(), 54 + pixelBytes);
        // Qt's own BMP reader sees the same picture as the project's reader.
        const QImage ours = pelmora::BmpPixelsToImage(file.constData() + 54, pixelBytes, b.width, b.height);
        const QImage qts = QImage::fromData(file, "BMP");
        ASSERT_EQ(ours.size(), QSize(b.width, b.height));
        EXPECT_EQ(ours.convertToFormat(QImage::Format_RGB32), qts.convertToFormat(QImage::Format_RGB32));
    }
    const QImage cell = QImage::fromData(readResource(QStringLiteral(":/bitmaps/169.bmp")), "BMP");
    // Light holes along the top and bottom of the grey frame, a pale band below the picture.
    for (int y : {4, 91}) {
        int holes = 0;
        for (int x = 0; x < 79; ++x)
            holes += qGray(cell.pixel(x, y)) > 235 && (x == 0 || qGray(cell.pixel(x - 1, y)) <= 235);
        EXPECT_GE(holes, 6) << "row " << y;
    }
    const int frame = qGray(cell.pixel(1, 40));
    EXPECT_TRUE(frame > 150 && frame < 225) << frame;
    EXPECT_GT(qGray(cell.pixel(40, 76)), frame + 25);

    const QImage icon = QImage::fromData(readResource(QStringLiteral(":/icons/128.png")), "PNG");
    EXPECT_TRUE(icon.width() == icon.height() && icon.width() >= 32) << icon.width();
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << "transparent corners";
    EXPECT_EQ(qAlpha(icon.pixel(icon.width() / 2, icon.height() / 2)), 255);
}

// Up to JPEG noise: a change to the drawing code without `art` being run shows here.
TEST(WizardResources, CommittedArtworkMatchesTheGenerator)
{
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    const ProgramRun art = RunProgram(QStringLiteral(PELMORA_ART_PROGRAM), {out.path()});
    ASSERT_EQ(art.exitCode, 0) << art.err.constData();

    int compared = 0;
    for (const char* folder : {"pages", "bitmaps", "icons"}) {
        QDir generated(out.filePath(QLatin1String(folder)));
        const QStringList files = generated.entryList(QDir::Files);
        ASSERT_FALSE(files.isEmpty()) << folder;
        for (const QString& name : files) {
            SCOPED_TRACE(name.toStdString());
            const QImage fresh(generated.filePath(name));
            const QImage stored = QImage::fromData(
                readResource(QStringLiteral(":/%1/%2").arg(QLatin1String(folder), name)));
            ASSERT_FALSE(fresh.isNull());
            ASSERT_EQ(stored.size(), fresh.size());
            const QImage a = fresh.convertToFormat(QImage::Format_ARGB32);
            const QImage b = stored.convertToFormat(QImage::Format_ARGB32);
            int worst = 0;
            const uchar *p = a.constBits(), *q = b.constBits();
            for (qsizetype i = 0; i < a.sizeInBytes(); ++i)
                worst = std::max(worst, std::abs(int(p[i]) - int(q[i])));
            EXPECT_LE(worst, 8);
            ++compared;
        }
    }
    EXPECT_EQ(compared, 34);
}

} // namespace
