#pragma once
#include <QString>

namespace pelmora {

// Message ids of the program's string table.
enum StringId {
    IDS_NO_CAPTURE_DEVICE = 2,
    IDS_INIT_FAILED = 3,
    IDS_NO_LAYOUT = 4,
    IDS_NO_SERIES = 5,
    IDS_CONFIRM_BACK_TO_LAYOUT = 6,
};

// The text of a string-table entry; empty for an id the table does not hold.
QString LoadStringText(int id);

} // namespace pelmora
