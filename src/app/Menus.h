#pragma once

#include "CommandTable.h"

#include <array>

class QAction;
class QMainWindow;
class QToolBar;

// The menu bar and the toolbar of the main window, made from the table of commands: one action
// per command, named after it (FileNew, ViewGrid, ...), which the menu and the toolbar share.
namespace Menus {

using Actions = std::array<QAction *, CommandCount>;
// Makes the actions and puts them in the window's menus; the window connects them.
Actions build(QMainWindow *window);
QToolBar *buildToolbar(QMainWindow *window, const Actions &actions);

} // namespace Menus
