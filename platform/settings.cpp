#include "settings.h"

#include <QSettings>

namespace pelmora {

bool RecordInstalledDirectory(QSettings& settings, const QString& folder)
{
    const QString key = QString::fromLatin1(kInstalledDirectoryValue);
    const QVariant stored = settings.value(key);
    if (stored.isValid() && stored.toString() == folder)
        return false;
    settings.setValue(key, folder);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool RecordInstalledDirectory(const QString& folder) { return RecordInstalledDirectory(*BoothSettings(), folder); }

std::unique_ptr<QSettings> BoothSettings()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QString::fromLatin1(kSettingsOrganization),
                                       QString::fromLatin1(kSettingsProduct));
}

} // namespace pelmora
