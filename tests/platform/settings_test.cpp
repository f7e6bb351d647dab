#include "settings.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct RecordCase {
    const char* name;
    const char* before; // the value a previous start left; nullptr: none
    bool rewritten;
};

// The settings file of a user, in a folder of the test's own: the value is
// written when missing or different (case counts), and left alone when the
// same; other values of the key stay.
TEST(InstalledDirectory, WrittenWhenMissingOrDifferent)
{
    for (const RecordCase& c : {RecordCase{"first start", nullptr, true},
                                RecordCase{"another folder", "/home/ann/pelmora", true},
                                RecordCase{"another case", "/opt/Pelmora", true},
                                RecordCase{"the same folder", "/opt/pelmora", false}}) {
        QTemporaryDir dir;
        const QString path = dir.filePath("Pelmora 2004.conf");
        {
            QSettings before(path, QSettings::IniFormat);
            before.setValue("Something Else", 7);
            if (c.before)
                before.setValue(pelmora::kInstalledDirectoryValue, c.before);
        }
        QSettings s(path, QSettings::IniFormat);
        EXPECT_EQ(pelmora::RecordInstalledDirectory(s, "/opt/pelmora"), c.rewritten) << c.name;
        s.sync();
        QSettings after(path, QSettings::IniFormat);
        EXPECT_EQ(after.value(pelmora::kInstalledDirectoryValue).toString(), "/opt/pelmora") << c.name;
        EXPECT_EQ(after.value("Something Else").toInt(), 7) << c.name;
    }
    QSettings unwritable("/proc/no-such-place/Pelmora 2004.conf", QSettings::IniFormat);
    EXPECT_FALSE(pelmora::RecordInstalledDirectory(unwritable, "/opt/pelmora")) << "silent";
}

} // namespace
