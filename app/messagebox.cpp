#include "messagebox.h"

#include "paths.h"
#include "stringtable.h"

#include <QFileInfo>
#include <QPointer>

namespace pelmora {

namespace {
QPointer<QWidget> g_owner;
}

void SetMessageBoxOwner(QWidget* mainWindow) { g_owner = mainWindow; }

QString ApplicationTitle() { return QFileInfo(ExecutablePath()).completeBaseName(); }

QMessageBox::StandardButton AfxMessageBox(int stringId, QMessageBox::StandardButtons buttons)
{
    return ShowMessage(LoadStringText(stringId), buttons);
}

QMessageBox::StandardButton ShowMessage(const QString& text, QMessageBox::StandardButtons buttons)
{
    // Only a window that is on screen can own the box; before the wizard
    // opens the box stands alone.
    QWidget* owner = g_owner && g_owner->isVisible() ? g_owner.data() : nullptr;
    QMessageBox box(QMessageBox::Warning, ApplicationTitle(), text, buttons, owner);
    box.setDefaultButton(QMessageBox::Ok);
    return QMessageBox::StandardButton(box.exec());
}

} // namespace pelmora
