#pragma once
#include <QMessageBox>

namespace pelmora {

// Shows a string-table message as the program's every message is shown: the
// application title as caption, the exclamation icon, and the main window as
// owner when it exists (no owner before). Returns the button pressed.
QMessageBox::StandardButton AfxMessageBox(int stringId,
                                          QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// The same for a text of the program's own making.
QMessageBox::StandardButton ShowMessage(const QString& text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// The window that owns message boxes from now on (nullptr: none).
void SetMessageBoxOwner(QWidget* mainWindow);

// The application title: the executable's file name without its extension.
QString ApplicationTitle();

} // namespace pelmora
