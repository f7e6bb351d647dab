#include "settings.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The settings file of a fresh user, in a folder of the test's own.
struct SettingsFile {
    QTemporaryDir dir;
    QString path() const { return dir.filePath("Pelmora 2004.conf"); }
    QString read() const
    {
        QSettings s(path(), QSettings::IniFormat);
        return s.value(pelmora::kInstalledDirectoryValue).toString();
    }
};

TEST(InstalledDirectory, FirstStartCreatesTheValue)
{
    SettingsFile f;
    QSettings s(f.path(), QSettings::IniFormat);
    EXPECT_TRUE(pelmora::RecordInstalledDirectory(s, "/opt/pelmora"));
    EXPECT_EQ(f.read(), "/opt/pelmora");
}

TEST(InstalledDirectory, StartFromAnotherFolderRewritesIt)
{
    SettingsFile f;
    {
        QSettings s(f.path(), QSettings::IniFormat);
        pelmora::RecordInstalledDirectory(s, "/opt/pelmora");
    }
    QSettings s(f.path(), QSettings::IniFormat);
    EXPECT_TRUE(pelmora::RecordInstalledDirectory(s, "/home/ann/pelmora"));
    EXPECT_EQ(f.read(), "/home/ann/pelmora");
}

TEST(InstalledDirectory, ComparisonIsCaseSensitive)
{
    SettingsFile f;
    QSettings s(f.path(), QSettings::IniFormat);
    pelmora::RecordInstalledDirectory(s, "/opt/Pelmora");
    EXPECT_TRUE(pelmora::RecordInstalledDirectory(s, "/opt/pelmora"));
    EXPECT_EQ(f.read(), "/opt/pelmora");
}

TEST(InstalledDirectory, SameFolderLeavesItUnchanged)
{
    SettingsFile f;
    QSettings s(f.path(), QSettings::IniFormat);
    pelmora::RecordInstalledDirectory(s, "/opt/pelmora");
    EXPECT_FALSE(pelmora::RecordInstalledDirectory(s, "/opt/pelmora"));
    EXPECT_EQ(f.read(), "/opt/pelmora");
}

TEST(InstalledDirectory, KeyWithoutTheValueGetsIt)
{
    SettingsFile f;
    {
        QSettings s(f.path(), QSettings::IniFormat);
        s.setValue("Something Else", 7);
    }
    QSettings s(f.path(), QSettings::IniFormat);
    EXPECT_TRUE(pelmora::RecordInstalledDirectory(s, "/opt/pelmora"));
    EXPECT_EQ(f.read(), "/opt/pelmora");
    EXPECT_EQ(s.value("Something Else").toInt(), 7);
}

TEST(InstalledDirectory, UnwritableSettingsAreSilent)
{
    QSettings s("/proc/no-such-place/Pelmora 2004.conf", QSettings::IniFormat);
    EXPECT_FALSE(pelmora::RecordInstalledDirectory(s, "/opt/pelmora"));
}

} // namespace
