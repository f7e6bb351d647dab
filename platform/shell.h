#pragma once
#include <QString>

namespace pelmora {

// Opens a document or URL with the desktop's registered program, like the
// shell's "open" verb. Returns whether the desktop accepted it.
bool ShellOpen(const QString& pathOrUrl);

} // namespace pelmora
