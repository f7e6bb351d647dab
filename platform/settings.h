#pragma once
#include <QString>
#include <memory>

class QSettings;

namespace pelmora {

inline constexpr char kSettingsOrganization[] = "Orvane";
inline constexpr char kSettingsProduct[] = "Pelmora 2004";
inline constexpr char kInstalledDirectoryValue[] = "Installed Directory";

// Records where the program is installed: writes "Installed Directory" when
// it is missing or differs (case-sensitively) from folder, and leaves it alone
// when equal. Failures are silent. Returns true when a value was written.
bool RecordInstalledDirectory(QSettings& settings, const QString& folder);

// The same against the per-user product settings.
bool RecordInstalledDirectory(const QString& folder);

// The booth's per-user product settings ("Orvane", "Pelmora 2004").
std::unique_ptr<QSettings> BoothSettings();

} // namespace pelmora
