// Exporting photos as numbered BMP files, read back by ImageMagick, and every way an export stops.
#include "bmp.h"
#include "photofixtures.h"
#include "stickersheet.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include "testing.h"
#include <gtest/gtest.h>
#include <sys/mount.h>

namespace {

using fixtures::patternImage;
using fixtures::writeFile;
const auto contents = fixtures::readFile;

QStringList filesIn(const QString& folder) { return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name); }

QStringList numbered(const QString& prefix, int count)
{
    QStringList names;
    for (int n = 1; n <= count; ++n)
        names << prefix + QStringLiteral("Pelmora %1.bmp").arg(n);
    return names;
}

QByteArray rowsOf(int seed) { return pelmora::ImageToBmpPixels(patternImage(320, 240, seed)); }

class Export : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(QDir().mkdir(m_out)); }
    void addPhotos(int count)
    {
        for (int i = 0; i < count; ++i)
            m_sheet.AddPhoto(fixtures::pictureOf(patternImage(320, 240, i + 1)));
    }
    // At 120 dpi a photo measures 400 x 300; its file holds its own 320 x 240 rows.
    int exportTo(const QString& folder, ExportReport* report = nullptr) { return m_sheet.ExportPhotos(&m_screen, folder, report); }
    QTemporaryDir m_dir;
    // Taken as it is: not a format whose placeholders a second arg() would fill.
    const QString m_out = m_dir.filePath("out%1x 50%2off Größe Фото 写真");
    CStickerSheet m_sheet{QString()};
    QImage m_screen = fixtures::deviceAt(120);
};

TEST_F(Export, ThreePhotosIntoAnEmptyFolder)
{
    ExportReport report;
    EXPECT_TRUE(exportTo(m_out, &report) == 0 && !report.stopped() && filesIn(m_out).isEmpty());
    addPhotos(3);
    EXPECT_TRUE(exportTo(m_out, &report) == 3 && !report.stopped());
    EXPECT_EQ(report.folder, m_out);
    EXPECT_EQ(filesIn(m_out), numbered("", 3));
    EXPECT_EQ(report.written, numbered(m_out + "/", 3));
    for (int i = 0; i < 3; ++i) {
        const QString path = m_out + QStringLiteral("/Pelmora %1.bmp").arg(i + 1); // never empty: convert would read stdin
        EXPECT_EQ(contents(path), pelmora::BmpHeader(320, 240, 230400) + rowsOf(i + 1)) << path.toStdString();
        const QImage rgb = patternImage(320, 240, i + 1).convertToFormat(QImage::Format_RGB888);
        EXPECT_EQ(RunProgram("convert", {path, "-depth", "8", "rgb:-"}).out,
                  QByteArray(reinterpret_cast<const char*>(rgb.constBits()), rgb.sizeInBytes()))
            << path.toStdString();
    }
    EXPECT_EQ(RunProgram("identify", {"-format", "%m %w %h", m_out + "/Pelmora 2.bmp"}).out, "BMP3 320 240");
}

TEST_F(Export, TakenNumbersAreSkippedAndKept)
{
    addPhotos(2);
    ASSERT_TRUE(writeFile(m_out + "/Pelmora 1.bmp", "first"));
    ASSERT_TRUE(writeFile(m_out + "/Pelmora 3.bmp", "third"));
    // A dangling link holds its name: creating through it would make a file elsewhere.
    ASSERT_TRUE(QFile::link(m_dir.filePath("nowhere.bmp"), m_out + "/Pelmora 5.bmp"));
    EXPECT_EQ(exportTo(m_out), 2);
    EXPECT_EQ(filesIn(m_out), numbered("", 5));
    EXPECT_EQ(contents(m_out + "/Pelmora 1.bmp"), "first");
    EXPECT_EQ(contents(m_out + "/Pelmora 3.bmp"), "third");
    EXPECT_EQ(contents(m_out + "/Pelmora 2.bmp").mid(54), rowsOf(1));
    EXPECT_EQ(contents(m_out + "/Pelmora 4.bmp").mid(54), rowsOf(2));
    // Exported again with a trailing slash, kept as given: the same names.
    ExportReport report;
    EXPECT_EQ(exportTo(m_out + "/", &report), 2);
    EXPECT_EQ(report.written, (QStringList{m_out + "//Pelmora 6.bmp", m_out + "//Pelmora 7.bmp"}));
    EXPECT_EQ(filesIn(m_out), numbered("", 7));
    EXPECT_EQ(contents(m_out + "/Pelmora 7.bmp"), contents(m_out + "/Pelmora 4.bmp"));
    EXPECT_FALSE(QFile::exists(m_dir.filePath("nowhere.bmp")));
}

TEST_F(Export, FoldersThatCannotHoldFilesEndTheExport)
{
    addPhotos(2);
    // A file in the folder's place, a folder that is gone (root writes anywhere: no permissions), a name too long, a zero.
    ASSERT_TRUE(writeFile(m_dir.filePath("plain"), "x"));
    const QString longPath = m_out + ("/" + QString(200, 'b')).repeated(25);
    for (const QString& folder : {m_dir.filePath("plain"), m_dir.filePath("gone %1 %3 100%"), longPath, m_out + QChar(0) + "rest"}) {
        ExportReport report;
        EXPECT_TRUE(exportTo(folder, &report) == 0 && report.stopped());
        EXPECT_EQ(report.failedFile, folder + "/Pelmora 1.bmp");
        // The folder's text is shown as it is, placeholders and all.
        EXPECT_EQ(report.StoppedMessage(2), "The photos could not all be saved to the folder \"" + folder
                                                 + "\".\n\n" + report.reason + "\n\n0 of 2 photos were saved.");
    }
    EXPECT_EQ(contents(m_dir.filePath("plain")), "x");
    EXPECT_EQ(filesIn(m_dir.path()), QStringList{"plain"});
    EXPECT_TRUE(filesIn(m_out).isEmpty());
}

TEST_F(Export, UnreadablePhotoEndsTheExportWithoutAPartialFile)
{
    addPhotos(1);
    m_sheet.AddPhoto(CPicture());
    addPhotos(1);
    ExportReport report;
    EXPECT_EQ(exportTo(m_out, &report), 0);
    EXPECT_EQ(report.written, numbered(m_out + "/", 1));
    EXPECT_EQ(report.failedFile, m_out + "/Pelmora 2.bmp");
    EXPECT_EQ(report.StoppedMessage(3).right(25), "1 of 3 photos were saved.");
    EXPECT_EQ(filesIn(m_out), numbered("", 1));
    EXPECT_EQ(contents(m_out + "/Pelmora 1.bmp").size(), 230454);
}

TEST_F(Export, FullDiskRemovesThePartialFileAndKeepsTheOthers)
{
    // A tmpfs of 600 KiB holds two photos of 230,454 bytes but not a third.
    const QByteArray at = QFile::encodeName(m_out);
    if (::mount("tmpfs", at.constData(), "tmpfs", 0, "size=600k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    const auto unmount = qScopeGuard([&] { ::umount2(at.constData(), MNT_DETACH); });
    addPhotos(3);
    ExportReport report;
    EXPECT_TRUE(exportTo(m_out, &report) == 0 && report.stopped());
    EXPECT_EQ(report.written, numbered(m_out + "/", 2));
    EXPECT_EQ(report.failedFile, m_out + "/Pelmora 3.bmp");
    EXPECT_EQ(filesIn(m_out), numbered("", 2));
    EXPECT_EQ(contents(m_out + "/Pelmora 1.bmp").mid(54), rowsOf(1));
    EXPECT_EQ(contents(m_out + "/Pelmora 2.bmp").mid(54), rowsOf(2));
}

} // namespace
