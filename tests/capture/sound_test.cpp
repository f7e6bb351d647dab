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

quint32 U32(const QByteArray& b, int at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}
quint16 U16(const QByteArray& b, int at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

TEST(ShutterSound, CameraWavIsShortMonoPcmWithTwoClicks)
{
    const QByteArray wav = ReadAll(kCameraWav);
    ASSERT_GE(wav.size(), 44);
    EXPECT_EQ(wav.left(4), "RIFF");
    EXPECT_EQ(U32(wav, 4), quint32(wav.size() - 8));
    EXPECT_EQ(wav.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(U32(wav, 16), 16u);
    EXPECT_EQ(U16(wav, 20), 1u) << "PCM";
    EXPECT_EQ(U16(wav, 22), 1u) << "mono";
    EXPECT_EQ(U32(wav, 24), 44100u);
    EXPECT_EQ(U32(wav, 28), 88200u);
    EXPECT_EQ(U16(wav, 32), 2u);
    EXPECT_EQ(U16(wav, 34), 16u);
    EXPECT_EQ(wav.mid(36, 4), "data");
    const quint32 dataBytes = U32(wav, 40);
    ASSERT_EQ(dataBytes, quint32(wav.size() - 44));

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

TEST(PlaySound, PlaysCameraWavToItsEnd)
{
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(PlaySoundFile(kCameraWav));
    EXPECT_LT(clock.elapsed(), kHangBoundMs) << "no audio output must not hang";
}

TEST(PlaySound, FindsCameraWavBesideTheProgramByName)
{
    // The test program's folder is not the booth's: put the sound beside it.
    const QString beside = ExecutableFolder() + "/Camera.wav";
    QFile::remove(beside);
    ASSERT_TRUE(QFile::copy(kCameraWav, beside));
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(PlaySoundFile("Camera.wav"));
    EXPECT_LT(clock.elapsed(), kHangBoundMs);
    QFile::remove(beside);
}

TEST(PlaySound, MissingOrUnplayableFilesBeepAndReturn)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString text = dir.filePath("Broken.wav");
    {
        QFile file(text);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("RIFF\x10\0\0\0WAVEthis is no sound at all", 40);
    }
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(PlaySoundFile("NoSuchSound.wav"));
    EXPECT_FALSE(PlaySoundFile(dir.filePath("Missing.wav")));
    EXPECT_FALSE(PlaySoundFile(text));
    EXPECT_LT(clock.elapsed(), kHangBoundMs);
}

} // namespace
} // namespace pelmora
