#include "stringtable.h"

namespace pelmora {

QString LoadStringText(int id)
{
    switch (id) {
    case IDS_NO_CAPTURE_DEVICE:
        return QStringLiteral("No video capture device was found on this machine, which is "
                              "required by this program, or maybe it's used by another program.");
    case IDS_INIT_FAILED:
        return QStringLiteral("Initialization failed. Please make sure DirectX 8.0 or above is "
                              "properly installed on this machine.");
    case IDS_NO_LAYOUT:
        return QStringLiteral(
            "No layout style was selected. An layout style is required for your photos");
    case IDS_NO_SERIES:
        return QStringLiteral("No photo frame serie was selected.");
    case IDS_CONFIRM_BACK_TO_LAYOUT:
        return QStringLiteral(
            "Back to the previous step(re-select the layout) will clear your captured photos.\n"
            "Please make sure they have been properly saved(exported or printed), continue?");
    default:
        return QString();
    }
}

} // namespace pelmora
