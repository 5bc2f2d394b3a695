#pragma once

#include <Qt>

// The look every dialog of the program shares: a title with a close button, and a fixed size
// (each dialog sets its own, in twips).
namespace FixedDialog {

inline constexpr Qt::WindowFlags Flags =
    Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;

} // namespace FixedDialog
