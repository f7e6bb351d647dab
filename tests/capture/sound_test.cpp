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

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray Le32(quint32 v)
{
    char bytes[4];
    qToLittleEndian(v, bytes);
    return QByteArray(bytes, 4).toHex();
}

TEST(ShutterSound, CameraWavIsShortMonoPcmWithTwoClicksTheSameOnEveryRun)
{
    const QByteArray wav = ReadAll(kCameraWav);
    ASSERT_GE(wav.size(), 44);
    const quint32 dataBytes = quint32(wav.size() - 44);
    // RIFF size, "fmt " chunk of 16 bytes: PCM, mono, 44100 Hz, 88200 bytes
    // a second, 2-byte frames of 16 bits; then the data chunk.
    EXPECT_EQ(wav.left(44).toHex(), ("52494646" + Le32(dataBytes + 36) + "57415645666d7420" "10000000" "0100" "0100"
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

    QTemporaryDir dir;
    const QString again = dir.filePath("Camera.wav");
    ASSERT_EQ(QProcess::execute(QStringLiteral(PELMORA_SHUTTER_SOUND_TOOL), {again}), 0);
    EXPECT_EQ(ReadAll(again), wav);
    // Unwritable output is an error, not a crash or a silent success.
    EXPECT_NE(QProcess::execute(QStringLiteral(PELMORA_SHUTTER_SOUND_TOOL), {dir.filePath("no/such/dir.wav")}), 0);
}

// Runs in a temporary current folder, with a file that may go beside the program.
class Sound : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_previous = QDir::currentPath();
        ASSERT_TRUE(m_current.isValid() && QDir::setCurrent(m_current.path()));
    }
    void TearDown() override
    {
        QFile::remove(m_beside);
        QDir::setCurrent(m_previous);
    }
    QString Beside(const QString& name) { return m_beside = ExecutableFolder() + '/' + name; }
    QTemporaryDir m_current;
    QString m_previous, m_beside;
};

TEST_F(Sound, FoundInTheCurrentFolderThenTheProgramsFolderAndPlayedToTheEnd)
{
    const QString name = QStringLiteral("PelmoraLookupTest.wav");
    EXPECT_TRUE(FindSoundFile(name).isEmpty());
    ASSERT_TRUE(Write(Beside(name), "RIFF"));
    EXPECT_EQ(FindSoundFile(name), m_beside);
    ASSERT_TRUE(Write(m_current.filePath(name), "RIFF"));
    EXPECT_EQ(FindSoundFile(name), m_current.filePath(name));

    // A name with a folder is taken as it stands, relative to the current folder.
    ASSERT_TRUE(QDir(m_current.path()).mkdir("sub"));
    EXPECT_TRUE(FindSoundFile("sub/" + name).isEmpty());
    ASSERT_TRUE(Write(m_current.filePath("sub/" + name), "RIFF"));
    EXPECT_EQ(FindSoundFile("sub/" + name), m_current.filePath("sub/" + name));
    EXPECT_EQ(FindSoundFile("sub\\" + name), m_current.filePath("sub/" + name));

    // A folder of that name is no sound.
    ASSERT_TRUE(QDir(m_current.path()).mkdir("Folder.wav"));
    EXPECT_TRUE(FindSoundFile("Folder.wav").isEmpty());
    EXPECT_TRUE(FindSoundFile(QString()).isEmpty());

    // Playing returns: to the end, or after a beep when there is nothing to play.
    const QString broken = m_current.filePath("Broken.wav");
    ASSERT_TRUE(Write(broken, QByteArrayLiteral("RIFF\x10\0\0\0WAVEthis is no sound at all")));
    // The test program's folder is not the booth's: the sound goes beside it.
    QFile::remove(m_beside);
    QFile::remove(Beside("Camera.wav"));
    ASSERT_TRUE(QFile::copy(kCameraWav, m_beside));
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(PlaySoundFile(kCameraWav));
    EXPECT_TRUE(PlaySoundFile("Camera.wav"));
    EXPECT_FALSE(PlaySoundFile("NoSuchSound.wav"));
    EXPECT_FALSE(PlaySoundFile(m_current.filePath("Missing.wav")));
    EXPECT_FALSE(PlaySoundFile(broken));
    // Far above the sounds' length: only a hang exceeds it.
    EXPECT_LT(clock.elapsed(), 25000) << "no audio output must not hang";
}

} // namespace
} // namespace pelmora
