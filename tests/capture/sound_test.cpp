// The shutter sound: the file the build puts beside the program, where
// PlaySoundFile looks for a sound, and that playing returns.
#include "paths.h"
#include "sound.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <cstdlib>

namespace pelmora {
namespace {

const QString kCameraWav = QStringLiteral(PELMORA_BIN_DIR "/Camera.wav");
// Far above any short sound's length: only a hang exceeds it.
constexpr qint64 kHangBoundMs = 5000;

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A 32-bit little-endian value as hexadecimal text.
QByteArray Le32(quint32 v)
{
    char bytes[4];
    qToLittleEndian(v, bytes);
    return QByteArray(bytes, 4).toHex();
}

TEST(ShutterSound, CameraWavIsShortMonoPcmWithTwoClicks)
{
    const QByteArray wav = ReadAll(kCameraWav);
    ASSERT_GE(wav.size(), 44);
    const quint32 dataBytes = quint32(wav.size() - 44);
    // RIFF size, "fmt " chunk of 16 bytes: PCM, mono, 44100 Hz, 88200 bytes
    // a second, 2-byte frames of 16 bits; then the data chunk.
    EXPECT_EQ(wav.left(44).toHex(),
              ("52494646" + Le32(dataBytes + 36) + "57415645666d7420" "10000000" "0100" "0100"
               "44ac0000" "88580100" "0200" "1000" "64617461" + Le32(dataBytes)));
    const int count = int(dataBytes / 2);
    const auto sample = [&](int i) { return qFromLittleEndian<qint16>(wav.constData() + 44 + 2 * i); };
    EXPECT_GE(count, 44100 / 5) << "at least 0.2 s";
    EXPECT_LE(count, 44100 / 2) << "at most 0.5 s";
    const auto peak = [&](double from, double to) {
        int highest = 0;
        for (int i = int(from * 44100); i < std::min(count, int(to * 44100)); ++i)
            highest = std::max(highest, std::abs(int(sample(i))));
        return highest;
    };
    // Two clicks, loud at their start and decayed before the next; the sound
    // ends in silence.
    EXPECT_GT(peak(0.0, 0.02), 16000);
    EXPECT_LT(peak(0.06, 0.085), 4000);
    EXPECT_GT(peak(0.09, 0.11), 12000);
    EXPECT_LT(peak(0.25, 0.3), 100);
    EXPECT_EQ(sample(count - 1), 0);
}

TEST(ShutterSound, GeneratedTheSameOnEveryRun)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString again = dir.filePath("Camera.wav");
    ASSERT_EQ(QProcess::execute(QStringLiteral(PELMORA_SHUTTER_SOUND_TOOL), {again}), 0);
    EXPECT_EQ(ReadAll(again), ReadAll(kCameraWav));
    // Unwritable output is an error, not a crash or a silent success.
    EXPECT_NE(QProcess::execute(QStringLiteral(PELMORA_SHUTTER_SOUND_TOOL), {dir.filePath("no/such/dir.wav")}), 0);
}

// Runs with the current folder set to a temporary one and restores it.
class SoundLookup : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_current.isValid());
        m_previous = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(m_current.path()));
        m_besideProgram = ExecutableFolder() + "/PelmoraLookupTest.wav";
    }
    void TearDown() override
    {
        QFile::remove(m_besideProgram);
        QDir::setCurrent(m_previous);
    }
    static void Touch(const QString& path)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("RIFF");
    }
    QTemporaryDir m_current;
    QString m_previous;
    QString m_besideProgram;
};

TEST_F(SoundLookup, CurrentFolderThenTheProgramsFolder)
{
    const QString inCurrent = m_current.filePath("PelmoraLookupTest.wav");
    EXPECT_TRUE(FindSoundFile("PelmoraLookupTest.wav").isEmpty());
    Touch(m_besideProgram);
    EXPECT_EQ(FindSoundFile("PelmoraLookupTest.wav"), m_besideProgram);
    Touch(inCurrent);
    EXPECT_EQ(FindSoundFile("PelmoraLookupTest.wav"), inCurrent);

    // A name with a folder is taken as it stands, relative to the current folder.
    ASSERT_TRUE(QDir(m_current.path()).mkdir("sub"));
    EXPECT_TRUE(FindSoundFile("sub/PelmoraLookupTest.wav").isEmpty());
    Touch(m_current.filePath("sub/PelmoraLookupTest.wav"));
    EXPECT_EQ(FindSoundFile("sub/PelmoraLookupTest.wav"), m_current.filePath("sub/PelmoraLookupTest.wav"));
    EXPECT_EQ(FindSoundFile("sub\\PelmoraLookupTest.wav"), m_current.filePath("sub/PelmoraLookupTest.wav"));

    // A folder of that name is no sound.
    ASSERT_TRUE(QDir(m_current.path()).mkdir("Folder.wav"));
    EXPECT_TRUE(FindSoundFile("Folder.wav").isEmpty());
    EXPECT_TRUE(FindSoundFile(QString()).isEmpty());
}

TEST(PlaySound, PlaysToTheEndOrBeepsAndReturns)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString broken = dir.filePath("Broken.wav");
    {
        QFile file(broken);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArrayLiteral("RIFF\x10\0\0\0WAVEthis is no sound at all"));
    }
    // The test program's folder is not the booth's: the sound goes beside it.
    const QString beside = ExecutableFolder() + "/Camera.wav";
    QFile::remove(beside);
    ASSERT_TRUE(QFile::copy(kCameraWav, beside));
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(PlaySoundFile(kCameraWav));
    EXPECT_TRUE(PlaySoundFile("Camera.wav"));
    EXPECT_FALSE(PlaySoundFile("NoSuchSound.wav"));
    EXPECT_FALSE(PlaySoundFile(dir.filePath("Missing.wav")));
    EXPECT_FALSE(PlaySoundFile(broken));
    EXPECT_LT(clock.elapsed(), 5 * kHangBoundMs) << "no audio output must not hang";
    QFile::remove(beside);
}

} // namespace
} // namespace pelmora
