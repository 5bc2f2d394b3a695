#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The program's pictures, drawn here so that nothing comes from elsewhere.
namespace Icons {

// The pictures of the toolbar's buttons.
enum class Tool { None, New, Open, Import, SaveAs, Close, Compare, CompareNow, Export, Print };
// The 16 x 16 picture of a toolbar button.
QIcon toolbar(Tool tool);
// The program's own icon: two overlapping folder sheets with a check mark.
QIcon window();
// Picture `index` (1 to 12) of the About window's animation, 32 x 32.
QPixmap animationFrame(int index);
// Small pictures for the Summary View.
const QIcon &fileIcon();
const QIcon &folderIcon();

} // namespace Icons
