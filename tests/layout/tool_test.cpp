// pelmora-layout run as a process, its files checked by the archive reader
// and by exact bytes.
#include "archive.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun layoutTool(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(PELMORA_BIN_DIR "/pelmora-layout"), args);
    ToolRun run;
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = p.exitCode();
    run.out = p.readAllStandardOutput();
    run.err = p.readAllStandardError();
    return run;
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(LayoutTool, WriteDumpAndRefuseOverwrite)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Two up.dat");
    const ToolRun written = layoutTool({"write", path, "0,0,160,120", "160,120,320,-240"});
    ASSERT_EQ(written.exitCode, 0) << written.err.constData();
    const QByteArray bytes = contents(path);
    ASSERT_EQ(bytes.size(), 52);
    EXPECT_EQ(bytes.left(8), QByteArray("\x02\x00\xFF\xFF\x01\x00\x0A\x00", 8));
    const auto read = pelmora::ReadLayoutArchive(bytes);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.rects, (std::vector<SheetRect>{{0, 0, 160, 120}, {160, 120, 320, -240}}));

    const ToolRun dumped = layoutTool({"dump", path});
    EXPECT_EQ(dumped.exitCode, 0);
    EXPECT_EQ(dumped.out, "0 0 160 120\n160 120 320 -240\n");

    // An existing file is never overwritten.
    const ToolRun again = layoutTool({"write", path, "1,1,2,2"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.err.contains("already exists")) << again.err.constData();
    EXPECT_EQ(contents(path), bytes);
}

TEST(LayoutTool, BadArgumentsWriteNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Bad.dat");
    for (const char* spec : {"1,2,3", "1,2,3,4,5", "1,2,3,x", "1;2;3;4", "1,2,3,4294967296", ""}) {
        const ToolRun run = layoutTool({"write", path, "0,0,1,1", QString::fromLatin1(spec)});
        EXPECT_EQ(run.exitCode, 1) << spec;
        EXPECT_FALSE(QFile::exists(path)) << spec;
    }
    EXPECT_EQ(layoutTool({"write", path}).exitCode, 2);
    // A folder that does not exist: a message and exit 1.
    const ToolRun nowhere = layoutTool({"write", dir.filePath("no/such/folder.dat"), "0,0,1,1"});
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_TRUE(nowhere.err.contains("folder.dat")) << nowhere.err.constData();
    EXPECT_EQ(layoutTool({"frobnicate", path}).exitCode, 2);
}

TEST(LayoutTool, DumpNamesTheOffsetOfAReadError)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Cut.dat");
    ASSERT_EQ(layoutTool({"write", path, "1,2,3,4", "5,6,7,8", "9,10,11,12"}).exitCode, 0);
    QByteArray bytes = contents(path);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes.left(60));
    }
    const ToolRun run = layoutTool({"dump", path});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains("offset 54: file ends inside rectangle 3")) << run.err.constData();
    EXPECT_EQ(run.err.count('\n'), 1);

    const ToolRun missing = layoutTool({"dump", dir.filePath("Missing.dat")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(missing.err.isEmpty());
}

TEST(LayoutTool, ShippedLayoutsFitTheCanvas)
{
    const char* names[] = {"1 Photo", "2 Photos", "4 Photos", "6 Photos", "9 Photos", "16 Photos",
                           "1 Large 4 Small"};
    const int counts[] = {1, 2, 4, 6, 9, 16, 5};
    for (int i = 0; i < 7; ++i) {
        const QString path = QStringLiteral(PELMORA_BIN_DIR "/Resource/%1.dat").arg(names[i]);
        const auto read = pelmora::ReadLayoutArchive(contents(path));
        ASSERT_TRUE(read.ok()) << names[i];
        ASSERT_EQ(int(read.rects.size()), counts[i]) << names[i];
        for (size_t a = 0; a < read.rects.size(); ++a) {
            const SheetRect& r = read.rects[a];
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= 320 && r.bottom <= 240) << names[i];
            EXPECT_TRUE(r.right > r.left && r.bottom > r.top) << names[i];
            // Stickers do not overlap.
            for (size_t b = a + 1; b < read.rects.size(); ++b) {
                const SheetRect& o = read.rects[b];
                EXPECT_TRUE(r.right <= o.left || o.right <= r.left || r.bottom <= o.top || o.bottom <= r.top)
                    << names[i] << " places " << a << " and " << b;
            }
        }
    }
}

} // namespace
