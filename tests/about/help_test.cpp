// The help file beside the executable, read back with chmlib's extract_chmLib.
#include "testing.h"
#include "../package/bytes.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kHelpFile = QStringLiteral(PELMORA_BIN_DIR "/Pelmora.chm");
const QString kSources = QStringLiteral(PELMORA_HELP_SOURCES);

using testbytes::ReadAll;

QStringList Matches(const QByteArray& text, const QString& pattern)
{
    QStringList found;
    for (const auto& match : QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption)
                                 .globalMatch(QString::fromLatin1(text)))
        found << match.captured(1);
    return found;
}

TEST(HelpFile, TopicsUnchangedAndEveryLinkInside)
{
    QTemporaryDir dir;
    const ProgramRun extract = RunProgram("extract_chmLib", {kHelpFile, dir.filePath("out")});
    ASSERT_EQ(extract.exitCode, 0) << "extract_chmLib (libchm-bin): " << extract.err.constData();
    const auto extracted = [&dir](const QString& name) { return dir.filePath("out/" + name); };

    EXPECT_EQ(ReadAll(kHelpFile).left(9).toHex(), "4954534603000000" "60") << "ITSF, version 3, header length";
    const QByteArray system = ReadAll(extracted(QStringLiteral("#SYSTEM")));
    for (const char* name : {"Pelmora 2004 Help", "Contents.hhc", "Index.hhk", "Welcome.html"})
        EXPECT_TRUE(system.contains(name)) << name;
    EXPECT_TRUE(QFile::exists(extracted(QStringLiteral("$FIftiMain")))) << "full-text search";

    const QStringList files = QString::fromLatin1(ReadAll(kSources + QStringLiteral("/Pelmora.hhp")))
                                  .section(QStringLiteral("[FILES]"), 1)
                                  .section('[', 0, 0)
                                  .split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    ASSERT_GE(files.size(), 10);
    for (const QString& name : files)
        EXPECT_EQ(ReadAll(extracted(name)), ReadAll(kSources + '/' + name)) << qPrintable(name);
    const QString local = QStringLiteral("<param\\s+name=\"Local\"\\s+value=\"([^\"]+)\"");
    const QStringList inContents = Matches(ReadAll(extracted(QStringLiteral("Contents.hhc"))), local);
    const QStringList inIndex = Matches(ReadAll(extracted(QStringLiteral("Index.hhk"))), local);
    EXPECT_GE(inIndex.size(), 10);
    for (const QString& target : inContents + inIndex)
        EXPECT_TRUE(QFile::exists(extracted(target))) << qPrintable(target);
    QByteArray all;
    for (const QString& topic : QDir(kSources).entryList({QStringLiteral("*.html")}, QDir::Files)) {
        EXPECT_TRUE(files.contains(topic)) << qPrintable(topic) << " is not compiled in";
        EXPECT_TRUE(inContents.contains(topic)) << qPrintable(topic) << " is missing from the contents";
        const QByteArray page = ReadAll(extracted(topic));
        all += page;
        EXPECT_EQ(Matches(page, QStringLiteral("<title>([^<]+)</title>")).size(), 1) << qPrintable(topic);
        for (const QString& target : Matches(page, QStringLiteral("(?:href|src)=\"([^\"#]+)")))
            EXPECT_TRUE(QFile::exists(extracted(target))) << qPrintable(topic) << " -> " << qPrintable(target);
    }
    for (const char* phrase :
         {"The four steps", "Sticker layouts", "Photo frame series", "Printing the sticker sheet",
          "Saving photos as files", "Pelmora 1.bmp", "145 mm", "pelmora-layout write", "pelmora-layout dump",
          "pelmora-layout sheet", "pelmora-pack build", "pelmora-pack list", "pelmora-pack extract",
          "pelmora-pack preview", "1001", "No photo frame serie was selected."})
        EXPECT_TRUE(all.contains(phrase)) << phrase;
}

} // namespace
