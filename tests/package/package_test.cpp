// The package reader against windres libraries, our writer and malformed files; RGNDATA.
#include "bytes.h"
#include "craftedpackage.h"
#include "package.h"
#include "packagewriter.h"
#include "paths.h"
#include "rgndata.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <climits>

#include "testing.h"
#include <gtest/gtest.h>

using namespace pelmora;
using namespace testbytes;

namespace {

// A library that windres and ld made from one of data/'s .rc files.
std::unique_ptr<ResourcePackage> Open(const QString& name)
{
    QString error;
    auto package = ResourcePackage::FromFile(PELMORA_TOOLCHAIN_DIR "/" + name, &error);
    EXPECT_TRUE(package) << qPrintable(name) << ": " << qPrintable(error);
    return package;
}

class ToolchainLibrary : public ::testing::TestWithParam<const char*> {};

TEST_P(ToolchainLibrary, FramesAndStringsReadExactly)
{
    const QString arch = QLatin1String(GetParam());
    const auto package = Open("frames-" + arch + ".dll");
    ASSERT_TRUE(package);
    EXPECT_EQ(package->IsPe32Plus(), arch == "x86_64");
    EXPECT_EQ(package->LoadString(1), "1001");
    EXPECT_EQ(package->LoadString(2), "1005");
    EXPECT_FALSE(package->LoadString(3));
    // windres pads a resource to 4 bytes in the file only; the size recorded is the data's.
    const auto region = package->FindResource("REGION", 1001);
    ASSERT_TRUE(region);
    EXPECT_EQ(Bytes(*region), Words({32, 1, 2, 32, 0, 0, 4, 3, 0, 0, 4, 1, 1, 1, 3, 3}));
    EXPECT_EQ(ReadRegionData(*region), QRegion(0, 0, 4, 1).united(QRect(1, 1, 2, 2)));
    // Stored in German only: any language is taken.
    EXPECT_EQ(ReadRegionData(*package->FindResource("REGION", 1002)), QRegion(2, 2, 3, 4));
    EXPECT_EQ(Bytes(*package->FindResource("IMAGE", 2001)), ReadAll(PELMORA_SOURCE_DIR "/tests/package/data/tiny.bmp"));
    // The .rc wrote "Region"; names are matched without regard to case.
    EXPECT_TRUE(package->FindResource("region", 1001));
    for (const auto& [type, id] : {std::pair{"REGION", 1003}, {"IMAGE", 1001}, {"REGIONS", 1001}})
        EXPECT_FALSE(package->FindResource(type, id)) << type << id;

    const auto strings = Open("strings-" + arch + ".dll");
    ASSERT_TRUE(strings);
    // Two blanks and "1001xyz": seven characters fit, atoi stops at the x.
    EXPECT_EQ(strings->LoadString(1), "  1001x");
    EXPECT_EQ(strings->LoadString(2), "1234567");
    EXPECT_EQ(strings->StringEntry(2), "12345678");
    EXPECT_EQ(strings->LoadString(2, 3), "12");
    EXPECT_FALSE(strings->LoadString(2, 1) || strings->LoadString(3) || strings->LoadString(0));
    EXPECT_EQ(strings->StringEntry(20), "second block"); // block 2, position 4
    EXPECT_FALSE(strings->StringEntry(21) || strings->FindResource("REGION", 1001));
}

INSTANTIATE_TEST_SUITE_P(Package, ToolchainLibrary, ::testing::Values("x86_64", "i686"));

TEST(Atoi, BehavesAsC)
{
    for (const auto& [text, value] : {std::pair{"", 0}, {"abc", 0}, {" \t\n42z", 42}, {"-17", -17}, {"+0099", 99},
                                      {"- 5", 0}, {"1 001", 1}, {"99999999999", 2147483647}, {"-99999999999", INT_MIN}})
        EXPECT_EQ(Atoi(QString::fromLatin1(text)), value) << text;
}

std::vector<PackageResourceData> SmallSeries()
{
    auto resources = StringTableResources({{1, QStringLiteral("1001")}, {2, QStringLiteral("1002")}});
    resources.push_back({QStringLiteral("REGION"), 0, 1001, WriteRegionData(QRegion(1, 2, 3, 4))});
    resources.push_back({QStringLiteral("REGION"), 0, 1002, WriteRegionData(QRegion())});
    resources.push_back({QStringLiteral("IMAGE"), 0, 2001, QByteArray("first picture")});
    resources.push_back({QStringLiteral("IMAGE"), 0, 2002, QByteArray("second, longer picture")});
    return resources;
}

// The program's output; a failed run says "failed", which no check accepts.
QString RunTool(const QString& program, const QStringList& args) { return RunProgram(program, args).outputIfSucceeded(); }

class WrittenLibrary : public ::testing::TestWithParam<PeFormat> {};

TEST_P(WrittenLibrary, ReadBackAndAcceptedByOtherTools)
{
    const QByteArray file = WriteResourcePackage(SmallSeries(), GetParam());
    QString error;
    const auto package = ResourcePackage::FromBytes(file, &error);
    ASSERT_TRUE(package) << qPrintable(error);
    EXPECT_EQ(package->IsPe32Plus(), GetParam() == PeFormat::Pe32Plus);

    QTemporaryDir dir;
    const QString path = dir.filePath("Small.dll"), raw = dir.filePath("image.bin");
    ASSERT_TRUE(WriteAll(path, file));
    const QString listing = RunTool("wrestool", {"-l", path});
    RunTool("wrestool", {"-x", "--raw", "--type=IMAGE", "--name=2001", "-o", raw, path});
    EXPECT_EQ(ReadAll(raw), QByteArray("first picture"));
    const bool plus = GetParam() == PeFormat::Pe32Plus;
    const QString headers = RunTool(plus ? "x86_64-w64-mingw32-objdump" : "i686-w64-mingw32-objdump", {"-p", path});
    for (const auto& [text, part] : {std::pair{&listing, "--type='IMAGE' --name=2001 --language=1033 [offset=0x"},
                                     {&listing, "--type='REGION' --name=1002 --language=1033"},
                                     {&listing, "--type=6 --name=1 --language=1033 [type=string"},
                                     {&headers, plus ? "pei-x86-64" : "pei-i386"}, {&headers, "DLL"},
                                     {&headers, "Resource Directory [.rsrc]"},
                                     {&headers, "len 6]: REGION, Value: 0x8"}, {&headers, "Entry: ID: 0x0007d2"}})
        EXPECT_TRUE(text->contains(QLatin1String(part))) << part << "\n" << qPrintable(*text);
    EXPECT_EQ(listing.count(QLatin1Char('\n')), 5);
    EXPECT_EQ(headers.count(QStringLiteral("Leaf: Addr: 0x")), 5);
}

INSTANTIATE_TEST_SUITE_P(Package, WrittenLibrary, ::testing::Values(PeFormat::Pe32, PeFormat::Pe32Plus));

TEST(PackageWriter, StringBlocksAndDuplicates)
{
    // Entries 15 and 16 fall into blocks 1 and 2; a second REGION 5 is left out.
    auto resources = StringTableResources({{15, "end"}, {16, "next"}});
    ASSERT_TRUE(resources.size() == 2 && resources[0].id == 1 && resources[1].id == 2);
    EXPECT_EQ(resources[0].data, QByteArray(30, '\0') + QByteArray("\x03\x00" "e\0n\0d\0", 8));
    resources.push_back({QStringLiteral("REGION"), 0, 5, QByteArray("one")});
    resources.push_back({QStringLiteral("region"), 0, 5, QByteArray("two")});
    const auto package = ResourcePackage::FromBytes(WriteResourcePackage(resources));
    ASSERT_TRUE(package);
    EXPECT_EQ(package->StringEntry(15), "end");
    EXPECT_EQ(package->StringEntry(16), "next");
    EXPECT_EQ(Bytes(*package->FindResource("REGION", 5)), QByteArray("one"));
}

TEST(LoadPackage, SearchRule)
{
    // Relative paths start at the program's folder, here the tests' folder.
    const QString folder = QStringLiteral("PackageSearch-%1").arg(QCoreApplication::applicationPid());
    QDir base(ExecutableFolder());
    ASSERT_TRUE(base.mkpath(folder));
    for (const char* name : {"/Hearts.dll", "/Frames.old.dll", "/Frames.old"})
        ASSERT_TRUE(WriteAll(base.filePath(folder + name), WriteResourcePackage(SmallSeries())));
    for (const QString& name : {folder + "/Hearts", folder + "\\Hearts", folder + "/Hearts.dll", base.filePath(folder + "/Hearts")})
        EXPECT_TRUE(LoadPackage(name)) << qPrintable(name);
    // A dot counts as an extension: no ".dll" is added, so the file Frames.old is read.
    QString error;
    EXPECT_FALSE(LoadPackage(folder + "/Missing", &error));
    EXPECT_TRUE(error.contains("Missing.dll")) << qPrintable(error);
    EXPECT_TRUE(LoadPackage(folder + "/Frames.old"));
    ASSERT_TRUE(QFile::remove(base.filePath(folder + "/Frames.old")));
    EXPECT_FALSE(LoadPackage(folder + "/Frames.old"));
    EXPECT_TRUE(LoadPackage(folder + "/Frames.old.dll"));
    ASSERT_TRUE(base.mkpath(folder + "/Folder.dll"));
    EXPECT_FALSE(LoadPackage(folder + "/Folder"));
    QDir(base.filePath(folder)).removeRecursively();
}

// Our writer's PE32+ layout: optional header at 0x58, sections at 0x148, .rsrc at 0x200 (RVA 0x1000).
constexpr qsizetype kOptional = 0x58;
constexpr qsizetype kResourceDirectory = kOptional + 112 + 2 * 8;
constexpr qsizetype kSection = 0x148;
constexpr qsizetype kRsrc = 0x200;

QByteArray Valid() { return WriteResourcePackage(SmallSeries(), PeFormat::Pe32Plus); }

qsizetype Target(const QByteArray& b, qsizetype entry) { return kRsrc + (Get32(b, entry + 4) & 0x7fffffff); }

// The types sort as IMAGE, REGION, then string type 6.
qsizetype RootEntry(int i) { return kRsrc + 16 + 8 * i; }

qsizetype DataEntry(const QByteArray& b) { return Target(b, Target(b, Target(b, RootEntry(2)) + 16) + 16); }
qsizetype StringBlockData(const QByteArray& b) { return kRsrc + qsizetype(Get32(b, DataEntry(b))) - 0x1000; }

template <typename F> QByteArray Edit(F edit, QByteArray b = Valid()) { return edit(b), b; }

qsizetype LanguageDir(const QByteArray& b) { return Target(b, Target(b, RootEntry(0)) + 16); }

// A picture whose bytes, from any 8-byte boundary, are a directory of 32768+ entries leading deeper into it.
QByteArray OverlappingDirectories()
{
    auto resources = SmallSeries();
    resources.push_back({QStringLiteral("IMAGE"), 0, 2003, QByteArray(280 * 1024, '\0')});
    QByteArray b = WriteResourcePackage(resources);
    const qsizetype dataEntry = Target(b, Target(b, Target(b, RootEntry(0)) + 16 + 2 * 8) + 16);
    const std::uint32_t blob = Get32(b, dataEntry) - 0x1000; // relative to .rsrc
    for (qsizetype at = kRsrc + blob; at + 8 <= kRsrc + blob + 280 * 1024; at += 8) {
        Set32(b, at, 1);
        Set32(b, at + 4, 0x80000000u | (blob + 8));
    }
    Set32(b, RootEntry(0) + 4, 0x80000000u | blob);
    return b;
}

struct Malformed {
    const char* name;
    QByteArray (*make)();
    const char* reason;
};

// Each lies one past a boundary AcceptedAtTheEdge loads at (the section ends with the file; 96 sections).
const Malformed kMalformed[] = {
    {"DosHeaderCut", [] { return Valid().left(63); }, "DOS header"},
    {"PeHeaderCut", [] { return Valid().left(0x40 + 23); }, "e_lfanew"},
    {"OptionalHeaderCut", [] { return Valid().left(kOptional + 100); }, "optional header runs past"},
    {"SectionTableCut", [] { return Valid().left(kSection + 39); }, "section table"},
    {"SectionDataCut", [] { return Valid().chopped(1); }, "section 0"},
    {"NoMZ", [] { return Edit([](QByteArray& b) { b[0] = 'Z'; }); }, "MZ"},
    {"NoPE", [] { return Edit([](QByteArray& b) { b[0x41] = 'X'; }); }, "PE signature"},
    {"Magic", [] { return Edit([](QByteArray& b) { Set16(b, kOptional, 0x107); }); }, "magic"},
    {"LfanewWraps", [] { return Edit([](QByteArray& b) { Set32(b, 0x3c, 0xfffffff0u); }); }, "e_lfanew"},
    {"NoRoomForDirectories", [] { return Edit([](QByteArray& b) { Set16(b, 0x40 + 4 + 16, 100); }); }, "data directories"},
    {"RawDataPointer", [] { return Edit([](QByteArray& b) { Set32(b, kSection + 20, 0xfffffe00u); }); }, "section 0"},
    {"RawDataSize", [] { return Edit([](QByteArray& b) { Set32(b, kSection + 16, 0xffffffffu); }); }, "section 0"},
    {"SectionTablePastEnd", [] { return Edit([](QByteArray& b) { Set16(b, 0x46, 96); }, Valid().left(kSection + 40)); },
     "section table of 96 sections"},
    {"NinetySevenSections", [] { return CraftedPackage(97, 300); }, "97 sections"},
    {"DirectoryRva", [] { return Edit([](QByteArray& b) { Set32(b, kResourceDirectory, 0x50000); }); }, "outside every section"},
    {"DataRva", [] { return Edit([](QByteArray& b) { Set32(b, DataEntry(b), 0x1180), Set32(b, DataEntry(b) + 4, 0xffffff00u); }); },
     "outside every section"},
    {"SubdirectoryPastSection", [] { return Edit([](QByteArray& b) { Set32(b, RootEntry(0) + 4, 0xfffffff0u); }); },
     "outside every section"},
    {"NamePastSection", [] { return Edit([](QByteArray& b) { Set32(b, RootEntry(0), 0xfffffff0u); }); }, "name"},
    {"RootIsItsOwnChild", [] { return Edit([](QByteArray& b) { Set32(b, RootEntry(0) + 4, 0x80000000u); }); }, "reached twice"},
    {"SharedBranch", [] { return Edit([](QByteArray& b) { Set32(b, RootEntry(1) + 4, Get32(b, RootEntry(0) + 4)); }); }, "reached twice"},
    {"FourthLevel", [] { return Edit([](QByteArray& b) { Set32(b, LanguageDir(b) + 20, 0x80000010u); }); }, "fourth level"},
    {"DataAtTypeLevel", [] { return Edit([](QByteArray& b) { Set32(b, RootEntry(0) + 4, Get32(b, LanguageDir(b) + 20)); }); },
     "needs a directory"},
    {"HugeRootCounts", [] { return Edit([](QByteArray& b) { Set32(b, kRsrc + 12, 0xffffffffu); }); }, "131070 directory entries"},
    {"HugeTypeCount", [] { return Edit([](QByteArray& b) { Set16(b, Target(b, RootEntry(1)) + 14, 0x8000); }); }, "directory entries"},
    {"OverlappingDirectories", OverlappingDirectories, "overlap"},
    {"StringLength", [] { return Edit([](QByteArray& b) { Set16(b, StringBlockData(b) + 2, 0x7fff); }); }, "runs past its block"},
    {"StringCharacterCut", [] { return Edit([](QByteArray& b) { Set32(b, DataEntry(b) + 4, 2 + 2 + 7); }); }, "runs past its block"},
    {"StringLengthCut", [] { return Edit([](QByteArray& b) { Set32(b, DataEntry(b) + 4, 3); }); }, "cut off"},
    {"TooLarge", [] { return QByteArray(kMaxPackageBytes + 1, 'M'); }, "more than a package may hold"},
};

class MalformedPackage : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedPackage, RefusedWithItsOffset)
{
    QString error;
    EXPECT_FALSE(ResourcePackage::FromBytes(GetParam().make(), &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("offset 0x")) && !error.contains(QLatin1Char('\n'))) << qPrintable(error);
    EXPECT_TRUE(error.contains(QLatin1String(GetParam().reason))) << qPrintable(error);
}

INSTANTIATE_TEST_SUITE_P(Package, MalformedPackage, ::testing::ValuesIn(kMalformed),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(MalformedPackageBoundary, AcceptedAtTheEdge)
{
    QByteArray b = Valid();
    EXPECT_EQ(Get32(b, kResourceDirectory), 0x1000u);
    EXPECT_EQ(Get32(b, kSection + 20), std::uint32_t(kRsrc));
    EXPECT_EQ(Get32(b, StringBlockData(b)), 0x00040000u); // entry 0 empty, entry 1 "1001"
    EXPECT_TRUE(ResourcePackage::FromBytes(b));
    const auto many = ResourcePackage::FromBytes(CraftedPackage(96, 300));
    ASSERT_TRUE(many);
    EXPECT_EQ(Bytes(*many->FindResource("IMAGE", 300)), Words({300}));
    // A string block may stop at an entry boundary: here after entry 1 ("1001").
    Set32(b, DataEntry(b) + 4, 2 + 2 + 8);
    auto package = ResourcePackage::FromBytes(b);
    ASSERT_TRUE(package);
    EXPECT_EQ(package->LoadString(1), "1001");
    EXPECT_FALSE(package->LoadString(2));
    b = Valid();
    Set32(b, kResourceDirectory, 0);
    Set32(b, kResourceDirectory + 4, 0);
    package = ResourcePackage::FromBytes(b);
    ASSERT_TRUE(package);
    EXPECT_FALSE(package->LoadString(1) || package->FindResource("IMAGE", 2001));
}

std::optional<QRegion> Read(const QByteArray& bytes, QString* error = nullptr) { return ReadRegionData(Span(bytes), error); }

TEST(RegionData, WriterBytesRoundTripAndCoalescedBands)
{
    // An L shape: one band of one rectangle, one band of two.
    const QRegion region = QRegion(0, 0, 4, 1).united(QRect(0, 1, 1, 2)).united(QRect(3, 1, 1, 2));
    EXPECT_EQ(WriteRegionData(region), Words({32, 1, 3, 48, 0, 0, 4, 3, /**/ 0, 0, 4, 1, /**/ 0, 1, 1, 3, /**/ 3, 1, 4, 3}));
    EXPECT_EQ(WriteRegionData(QRegion()), Words({32, 1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(WriteRegionData(QRegion(-5, -6, 2, 3)), Words({32, 1, 1, 16, -5, -6, -3, -3, -5, -6, -3, -3}));

    const QRegion ellipse(10, 20, 200, 150, QRegion::Ellipse);
    const QRegion shape = ellipse.xored(QRegion(60, 60, 90, 40)).united(QRect(-3, 0, 5, 5));
    const QByteArray bytes = WriteRegionData(shape);
    EXPECT_TRUE(Get32(bytes, 8) == std::uint32_t(shape.rectCount()) && bytes.size() == 32 + 16 * shape.rectCount());
    const auto back = Read(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, shape);
    EXPECT_EQ(WriteRegionData(*back), bytes);

    // Row by row, as an outline is traced: one rectangle per run of rows with the same spans.
    const QRect rows[] = {QRect(0, 0, 3, 1), QRect(0, 1, 3, 1), QRect(5, 1, 2, 1), QRect(0, 2, 3, 1),
                          QRect(5, 2, 2, 1), QRect(0, 3, 3, 1)};
    const QRegion united = UniteRects(rows);
    EXPECT_EQ(WriteRegionData(united), Words({32, 1, 4, 64, 0, 0, 7, 4, /**/ 0, 0, 3, 1, /**/ 0, 1, 3, 3, /**/ 5, 1, 7, 3, /**/ 0, 3, 3, 4}));
    EXPECT_EQ(Coalesced(united), united);
    EXPECT_EQ(WriteRegionData(QRegion(0, 0, 3, 1).united(QRegion(0, 1, 3, 1))), Words({32, 1, 1, 16, 0, 0, 3, 2, 0, 0, 3, 2}));
}

TEST(RegionData, ReaderTakesTheRectanglesOnlyAndClampsThem)
{
    // Header bounds and nRgnSize are not trusted; a zero-width, an inverted, an overlapping rectangle.
    const QByteArray bytes = Words({32, 1, 4, 999, 7, 7, 7, 7, /**/ 0, 0, 10, 10, /**/ 5, 5, 5, 20, /**/ 8, 9, 2, 3, /**/ 5, 5, 15, 15});
    EXPECT_EQ(Read(bytes), QRegion(0, 0, 10, 10).united(QRect(5, 5, 10, 10)));
    EXPECT_EQ(Read(Words({32, 1, 0, 0, 0, 0, 0, 0})), QRegion());
    // Extra bytes after the rectangles are ignored: the byte count only has to be large enough.
    EXPECT_EQ(Read(Words({32, 1, 1, 16, 0, 0, 0, 0, 1, 1, 2, 2, 77})), QRegion(1, 1, 1, 1));
    EXPECT_EQ(Read(Words({32, 1, 1, 16, 0, 0, 0, 0, INT_MIN, INT_MIN, INT_MAX, INT_MAX})).value_or(QRegion()).boundingRect(),
              QRect(QPoint(-(1 << 27), -(1 << 27)), QPoint((1 << 27) - 1, (1 << 27) - 1)));
}

TEST(RegionData, ReaderRefusesMalformedHeadersAndCountsBeyondTheBytes)
{
    // Two rectangles need 64 bytes: exactly that is fine, one short is not.
    const QByteArray two = Words({32, 1, 2, 32, 0, 0, 0, 0, 0, 0, 1, 1, 2, 2, 3, 3});
    EXPECT_EQ(Read(two), QRegion(0, 0, 1, 1).united(QRect(2, 2, 1, 1)));
    const std::pair<QByteArray, const char*> cases[] = {
        {QByteArray(), "offset 0x0: header needs 32 bytes"},
        {Words({32, 1, 0, 0, 0, 0, 0}), "header needs 32 bytes"},
        {Words({40, 1, 0, 0, 0, 0, 0, 0, 0, 0}), "offset 0x0: dwSize"},
        {Words({0, 1, 0, 0, 0, 0, 0, 0}), "offset 0x0: dwSize"},
        {Words({32, 2, 0, 0, 0, 0, 0, 0}), "offset 0x4: iType"},
        {two.left(two.size() - 1), "offset 0x8: nCount"},
        // A count whose byte size wraps 32 bits.
        {Words({32, 1, 0x10000002, 32, 0, 0, 0, 0, 0, 0, 1, 1, 2, 2, 3, 3}), "offset 0x8: nCount"},
        {Words({32, 1, -1, 0, 0, 0, 0, 0}), "offset 0x8: nCount"},
    };
    for (const auto& [bytes, reason] : cases) {
        QString error;
        EXPECT_TRUE(!Read(bytes, &error) && error.contains(QLatin1String(reason)))
            << reason << ": " << qPrintable(error);
    }
}

TEST(RegionData, OpaqueRegionTakesAlphaAboveHalf)
{
    QImage picture(5, 3, QImage::Format_ARGB32);
    picture.fill(qRgba(10, 20, 30, 0));
    picture.setPixel(0, 0, qRgba(1, 2, 3, 128)); // just above half
    picture.setPixel(1, 0, qRgba(1, 2, 3, 127)); // just below
    for (int x = 1; x < 4; ++x)
        picture.setPixel(x, 2, qRgba(255, 255, 255, 255));
    picture.setPixel(4, 1, qRgba(0, 0, 0, 255));
    EXPECT_EQ(OpaqueRegion(picture), QRegion(0, 0, 1, 1).united(QRect(4, 1, 1, 1)).united(QRect(1, 2, 3, 1)));

    QImage opaque(4, 2, QImage::Format_RGB32);
    opaque.fill(Qt::red);
    EXPECT_EQ(OpaqueRegion(opaque), QRegion(0, 0, 4, 2));
    EXPECT_EQ(OpaqueRegion(QImage()), QRegion());
}

} // namespace
