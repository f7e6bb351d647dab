// BMP bytes as the booth writes and reads them, and the settings it records.
#include "bmp.h"
#include "settings.h"

#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <tuple>

namespace {

TEST(Bmp, PhotoHeaderAndBottomUpPaddedRows)
{
    // File header; info header of 320 x 240, one plane, 24 bits, then 24 zero bytes.
    EXPECT_EQ(pelmora::BmpHeader(320, 240, 230400),
              QByteArray::fromHex("424d3684030000000000" "36000000" "28000000" "40010000" "f0000000" "0100" "1800")
                  + QByteArray(24, '\0'));

    // 5 pixels wide: 15 bytes of pixels, stored in rows of 16.
    QImage img(5, 2, QImage::Format_RGB32);
    img.fill(Qt::black);
    img.setPixel(0, 0, qRgb(1, 2, 3));  // top-left
    img.setPixel(4, 1, qRgb(7, 8, 9));  // bottom-right
    const QByteArray px = pelmora::ImageToBmpPixels(img);
    ASSERT_EQ(px.size(), 32);
    // The bottom row first: its last pixel blue-green-red 9, 8, 7, a pad byte, then the top row.
    EXPECT_EQ(px.mid(12, 7), QByteArray("\x09\x08\x07\0\x03\x02\x01", 7));

    const QImage back = pelmora::BmpPixelsToImage(px.constData(), px.size(), 5, 2);
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), img);
    EXPECT_TRUE(pelmora::BmpPixelsToImage(px.constData(), px.size() - 1, 5, 2).isNull());
}

// Written when missing or different (case counts), left alone when the same; other values stay.
TEST(InstalledDirectory, WrittenWhenMissingOrDifferent)
{
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"first start", nullptr, true}, {"another folder", "/home/ann/pelmora", true},
        {"another case", "/opt/Pelmora", true}, {"the same folder", "/opt/pelmora", false}};
    for (const auto& [name, previous, rewritten] : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath("Pelmora 2004.conf");
        {
            QSettings before(path, QSettings::IniFormat);
            before.setValue("Something Else", 7);
            if (previous)
                before.setValue(pelmora::kInstalledDirectoryValue, previous);
        }
        QSettings s(path, QSettings::IniFormat);
        EXPECT_EQ(pelmora::RecordInstalledDirectory(s, "/opt/pelmora"), rewritten) << name;
        s.sync();
        QSettings after(path, QSettings::IniFormat);
        EXPECT_EQ(after.value(pelmora::kInstalledDirectoryValue).toString(), "/opt/pelmora") << name;
        EXPECT_EQ(after.value("Something Else").toInt(), 7) << name;
    }
    QSettings unwritable("/proc/no-such-place/Pelmora 2004.conf", QSettings::IniFormat);
    EXPECT_FALSE(pelmora::RecordInstalledDirectory(unwritable, "/opt/pelmora")) << "silent";
}

} // namespace
