// Exporting photos as numbered BMP files: names, exact bytes, files read back
// by independent readers, and every way an export can stop.
#include "archive.h"
#include "bmp.h"
#include "photofixtures.h"
#include "stickersheet.h"

#include <QDir>
#include <QFile>
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
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(writeFile(m_dir.filePath("four.dat"), pelmora::WriteLayoutArchive(std::vector<SheetRect>(4, {0, 0, 160, 120}))));
        m_sheet = std::make_unique<CStickerSheet>(m_dir.filePath("four.dat"));
        ASSERT_EQ(m_sheet->GetCapacity(), 4);
        ASSERT_TRUE(QDir(m_dir.path()).mkdir("out"));
        m_out = m_dir.filePath("out");
    }
    void addPhotos(int count)
    {
        for (int i = 0; i < count; ++i)
            m_sheet->AddPhoto(fixtures::pictureOf(patternImage(320, 240, i + 1)));
    }
    int exportTo(const QString& folder, ExportReport* report = nullptr, const QImage* screen = nullptr)
    {
        return m_sheet->ExportPhotos(screen ? screen : &m_screen, folder, report);
    }
    QTemporaryDir m_dir;
    QString m_out;
    std::unique_ptr<CStickerSheet> m_sheet;
    QImage m_screen = fixtures::deviceAt(96);
};

// The header of a 320 x 240 photo file, its bytes pinned by the BMP tests.
const QByteArray kPhotoHeader = pelmora::BmpHeader(320, 240, 230400);

// Python's struct reads the header fields and the upright pixel at each point
// (row h - 1 - y of the stored rows): "w h bits offset size length", then
// one "r g b" line a point.
QStringList readWithPython(const QString& path, const QList<QPoint>& points)
{
    QStringList args{"-c", "import struct,sys\n"
                           "d=open(sys.argv[1],'rb').read()\n"
                           "size,=struct.unpack_from('<I',d,2); off,=struct.unpack_from('<I',d,10)\n"
                           "w,h,planes,bits=struct.unpack_from('<iiHH',d,18)\n"
                           "print(w,h,bits,off,size,len(d))\n"
                           "stride=(w*3+3)//4*4\n"
                           "for p in sys.argv[2:]:\n"
                           "  x,y=map(int,p.split(','))\n"
                           "  o=off+(h-1-y)*stride+x*3\n"
                           "  print(d[o+2],d[o+1],d[o])\n",
                     path};
    for (const QPoint& p : points)
        args << QStringLiteral("%1,%2").arg(p.x()).arg(p.y());
    return RunProgram("python3", args).outputIfSucceeded().split('\n', Qt::SkipEmptyParts);
}

TEST_F(Export, ThreePhotosIntoAnEmptyFolder)
{
    addPhotos(3);
    ExportReport report;
    EXPECT_EQ(exportTo(m_out, &report), 3);
    EXPECT_FALSE(report.stopped());
    EXPECT_EQ(report.folder, m_out);
    EXPECT_EQ(filesIn(m_out), numbered("", 3));
    EXPECT_EQ(report.written, numbered(m_out + "/", 3));
    const QList<QPoint> points{{0, 0}, {319, 0}, {0, 239}, {123, 45}, {319, 239}};
    for (int i = 0; i < 3; ++i) {
        const QString path = report.written[i];
        EXPECT_EQ(contents(path), kPhotoHeader + rowsOf(i + 1)) << path.toStdString();
        const QStringList read = readWithPython(path, points);
        ASSERT_EQ(read.size(), 1 + points.size()) << path.toStdString();
        EXPECT_EQ(read[0], "320 240 24 54 230454 230454");
        for (int p = 0; p < points.size(); ++p) {
            const QRgb c = patternImage(320, 240, i + 1).pixel(points[p]);
            EXPECT_EQ(read[p + 1], QStringLiteral("%1 %2 %3").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c))) << i << " " << p;
        }
    }
    EXPECT_EQ(RunProgram("identify", {"-format", "%m %w %h", m_out + "/Pelmora 2.bmp"}).out, "BMP3 320 240");
}

TEST_F(Export, TakenNumbersAreSkippedAndKept)
{
    addPhotos(2);
    ASSERT_TRUE(writeFile(m_out + "/Pelmora 1.bmp", "first"));
    ASSERT_TRUE(writeFile(m_out + "/Pelmora 3.bmp", "third"));
    EXPECT_EQ(exportTo(m_out), 2);
    EXPECT_EQ(filesIn(m_out), numbered("", 4));
    EXPECT_EQ(contents(m_out + "/Pelmora 1.bmp"), "first");
    EXPECT_EQ(contents(m_out + "/Pelmora 3.bmp"), "third");
    EXPECT_EQ(contents(m_out + "/Pelmora 2.bmp").mid(54), rowsOf(1));
    EXPECT_EQ(contents(m_out + "/Pelmora 4.bmp").mid(54), rowsOf(2));
    // Exported again with a trailing slash, kept as given: the same names.
    ExportReport report;
    EXPECT_EQ(exportTo(m_out + "/", &report), 2);
    EXPECT_EQ(report.written.first(), m_out + "//Pelmora 5.bmp");
    EXPECT_EQ(filesIn(m_out), numbered("", 6));
    EXPECT_EQ(contents(m_out + "/Pelmora 6.bmp"), contents(m_out + "/Pelmora 4.bmp"));
    // A dangling link holds its name too: creating through it could make a
    // file somewhere else.
    const QString other = m_dir.filePath("linked");
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("linked"));
    ASSERT_TRUE(QFile::link(m_dir.filePath("nowhere.bmp"), other + "/Pelmora 1.bmp"));
    EXPECT_EQ(exportTo(other), 2);
    EXPECT_FALSE(QFile::exists(m_dir.filePath("nowhere.bmp")));
    EXPECT_EQ(filesIn(other), numbered("", 3));
}

TEST_F(Export, NoPhotosOrAScreenOfAnotherResolution)
{
    ExportReport report;
    EXPECT_EQ(exportTo(m_out, &report), 0);
    EXPECT_FALSE(report.stopped());
    EXPECT_TRUE(filesIn(m_out).isEmpty());
    // At 120 dpi a photo measures 400 x 300; the file still describes the
    // 320 x 240 rows that follow its header.
    addPhotos(1);
    const QImage wide = fixtures::deviceAt(120);
    EXPECT_EQ(exportTo(m_out, nullptr, &wide), 1);
    EXPECT_EQ(contents(m_out + "/Pelmora 1.bmp"), kPhotoHeader + rowsOf(1));
}

TEST_F(Export, FolderNamesAreTakenAsTheyAre)
{
    addPhotos(2);
    for (const QString name : {"out%1x", "50%2off", "100%", "%", "Größe Фото 写真"}) {
        const QString folder = m_dir.filePath(name);
        ASSERT_TRUE(QDir().mkpath(folder));
        ExportReport report;
        EXPECT_EQ(exportTo(folder, &report), 2) << qPrintable(name);
        EXPECT_EQ(report.written, numbered(folder + "/", 2));
        EXPECT_EQ(filesIn(folder), numbered("", 2));
        EXPECT_EQ(contents(folder + "/Pelmora 2.bmp").mid(54), rowsOf(2));
    }
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 7);
}

TEST_F(Export, FoldersThatCannotHoldFilesEndTheExport)
{
    addPhotos(2);
    // A regular file where the folder should be and a folder that is gone
    // (permissions would not do: root writes anywhere), a name component and
    // a whole name too long, and a zero that would cut the name short.
    ASSERT_TRUE(writeFile(m_dir.filePath("plain"), "x"));
    QString longPath = m_out;
    while (longPath.size() < 5000)
        longPath += "/" + QString(200, 'b');
    for (const QString& folder : {m_dir.filePath("plain"), m_dir.filePath("gone %1 %3 100%"),
                                  m_out + "/" + QString(300, 'a'), longPath, m_out + QChar(0) + "rest"}) {
        ExportReport report;
        EXPECT_EQ(exportTo(folder, &report), 0);
        EXPECT_TRUE(report.stopped());
        EXPECT_EQ(report.folder, folder);
        EXPECT_EQ(report.failedFile, folder + "/Pelmora 1.bmp");
        EXPECT_FALSE(report.reason.isEmpty());
        EXPECT_TRUE(report.written.isEmpty());
        // The folder's text is shown as it is, placeholders and all.
        EXPECT_EQ(report.StoppedMessage(2), "The photos could not all be saved to the folder \"" + folder
                                                 + "\".\n\n" + report.reason + "\n\n0 of 2 photos were saved.");
    }
    EXPECT_EQ(contents(m_dir.filePath("plain")), "x");
    EXPECT_EQ(filesIn(m_dir.path()), (QStringList{"four.dat", "plain"}));
    EXPECT_TRUE(filesIn(m_out).isEmpty());
}

TEST_F(Export, UnreadablePhotoEndsTheExportWithoutAPartialFile)
{
    addPhotos(1);
    m_sheet->AddPhoto(CPicture());
    addPhotos(1);
    ExportReport report;
    EXPECT_EQ(exportTo(m_out, &report), 0);
    EXPECT_EQ(report.written, numbered(m_out + "/", 1));
    EXPECT_EQ(report.failedFile, m_out + "/Pelmora 2.bmp");
    EXPECT_EQ(report.StoppedMessage(3).right(25), "1 of 3 photos were saved.");
    EXPECT_EQ(filesIn(m_out), numbered("", 1));
    EXPECT_EQ(contents(m_out + "/Pelmora 1.bmp").size(), 230454);
}

// A small file system of its own, mounted when the test may mount (root in a
// system that allows it), read-only if asked; skipped otherwise.
class MountedExport : public Export {
protected:
    bool mountTmpfs(const char* options, bool readOnly = false)
    {
        m_mount = m_dir.filePath("mnt");
        const QByteArray at = QFile::encodeName(m_mount);
        m_mounted = QDir(m_dir.path()).mkdir("mnt") && ::mount("tmpfs", at.constData(), "tmpfs", 0, options) == 0;
        return m_mounted && (!readOnly || ::mount(nullptr, at.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0);
    }
    void TearDown() override
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_mount).constData(), MNT_DETACH);
    }
    QString m_mount;
    bool m_mounted = false;
};

TEST_F(MountedExport, FullDiskRemovesThePartialFileAndKeepsTheOthers)
{
    // 600 KiB hold two photos of 230,454 bytes but not a third.
    if (!mountTmpfs("size=600k"))
        GTEST_SKIP() << "cannot mount a tmpfs here";
    addPhotos(3);
    ExportReport report;
    EXPECT_EQ(exportTo(m_mount, &report), 0);
    EXPECT_TRUE(report.stopped());
    EXPECT_EQ(report.written, numbered(m_mount + "/", 2));
    EXPECT_EQ(report.failedFile, m_mount + "/Pelmora 3.bmp");
    EXPECT_EQ(filesIn(m_mount), numbered("", 2));
    EXPECT_EQ(contents(m_mount + "/Pelmora 1.bmp").mid(54), rowsOf(1));
    EXPECT_EQ(contents(m_mount + "/Pelmora 2.bmp").mid(54), rowsOf(2));
}

TEST_F(MountedExport, ReadOnlyFileSystemEndsTheExport)
{
    if (!mountTmpfs("size=64k", true))
        GTEST_SKIP() << "cannot mount a read-only tmpfs here";
    addPhotos(1);
    ExportReport report;
    EXPECT_EQ(exportTo(m_mount, &report), 0);
    EXPECT_EQ(report.failedFile, m_mount + "/Pelmora 1.bmp");
    EXPECT_FALSE(report.reason.isEmpty());
    EXPECT_TRUE(filesIn(m_mount).isEmpty());
}

} // namespace
