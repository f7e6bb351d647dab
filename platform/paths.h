#pragma once
#include <QString>

namespace pelmora {

// Full path of the running executable, as the program names itself in
// addresses ("res://<path>/welcome.htm") and when it looks for files beside
// itself.
QString ExecutablePath();

// The executable's folder, without a trailing separator.
QString ExecutableFolder();

// The data folder beside the executable that holds layouts and frame series.
QString ResourceFolder();

} // namespace pelmora
