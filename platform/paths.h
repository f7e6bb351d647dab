#pragma once
#include <QString>
#include <QStringList>

namespace pelmora {

// Full path of the running executable, as the program names itself in
// addresses ("res://<path>/welcome.htm") and when it looks for files beside
// itself.
QString ExecutablePath();

// The executable's folder, without a trailing separator.
QString ExecutableFolder();

// The data folder beside the executable that holds layouts and frame series.
QString ResourceFolder();

// The user's own layouts and frame series: $XDG_DATA_HOME/pelmora/Resource
// (~/.local/share/pelmora/Resource by default). The installed folder is not
// the user's to write, so this is where made layouts and series go.
QString UserResourceFolder();

// Full paths of the entries matching a pattern ("*.dat"), folders included:
// those of the program's Resource folder first, then the user's, each folder
// in the order the file system gives them.
QStringList ResourceFiles(const QString& pattern);

} // namespace pelmora
