#pragma once

#include <QString>

class QMainWindow;
class QToolBar;

// The menu bar and the toolbar of the main window: their entries, captions, access keys,
// shortcuts and first states, as actions named after their commands (FileNew, ViewGrid, ...)
// that the window connects.
namespace Menus {

void build(QMainWindow *window);
// Each button's data is its key ("Save As"); the window connects its trigger.
QToolBar *buildToolbar(QMainWindow *window);
// The menu entry a toolbar button stands for ("Save As" gives "FileSaveAs"); null for none.
const char *commandOfButton(const QString &key);

} // namespace Menus
