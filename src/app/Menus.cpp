#include "Menus.h"

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenuBar>
#include <QToolBar>
#include <algorithm>

namespace Menus {

Actions build(QMainWindow *window) {
    const std::pair<CommandRow::Menu, const char *> menuDefs[] = {
        {CommandRow::Menu::File, "&File"},
        {CommandRow::Menu::View, "&View"},
        {CommandRow::Menu::Help, "&Help"},
    };
    const char *const menuNames[] = {"FileMenu", "mnuView", "HelpMenu"};
    Actions actions{};
    for (std::size_t m = 0; m < std::size(menuDefs); ++m) {
        QMenu *menu = window->menuBar()->addMenu(QLatin1String(menuDefs[m].second));
        menu->setObjectName(QLatin1String(menuNames[m]));
        for (const CommandRow &row : commandTable()) {
            if (row.menu != menuDefs[m].first)
                continue;
            if (row.separatorBefore)
                menu->addSeparator()->setObjectName(QLatin1String(row.separatorBefore));
            QAction *action = menu->addAction(QLatin1String(row.caption));
            action->setObjectName(QLatin1String(row.name));
            if (row.shortcut != QKeyCombination())
                action->setShortcut(QKeySequence(row.shortcut));
            action->setCheckable(row.check != CommandRow::Check::None);
            action->setChecked(row.check == CommandRow::Check::On);
            // Until the window applies the session's states, what needs entries waits.
            action->setEnabled(!row.enabledBy);
            if (row.button) {
                action->setIconText(QLatin1String(row.buttonCaption));
                action->setIcon(Icons::toolbar(row.picture));
                // The menus show no pictures, as they never did.
                action->setIconVisibleInMenu(false);
            }
            actions[std::size_t(row.id)] = action;
        }
    }
    auto *views = new QActionGroup(window);
    views->addAction(actions[std::size_t(Command::DetailedView)]);
    views->addAction(actions[std::size_t(Command::SummaryView)]);
    return actions;
}

QToolBar *buildToolbar(QMainWindow *window, const Actions &actions) {
    QToolBar *toolbar = window->addToolBar(QStringLiteral("Toolbar"));
    toolbar->setObjectName(QStringLiteral("Toolbar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setIconSize(QSize(16, 16));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    std::vector<const CommandRow *> buttons;
    for (const CommandRow &row : commandTable()) {
        if (row.button)
            buttons.push_back(&row);
    }
    std::sort(buttons.begin(), buttons.end(),
              [](const CommandRow *a, const CommandRow *b) { return a->button < b->button; });
    for (const CommandRow *row : buttons) {
        if (row->gapBefore)
            toolbar->addSeparator();
        toolbar->addAction(actions[std::size_t(row->id)]);
    }
    toolbar->toggleViewAction()->setVisible(false);
    return toolbar;
}

} // namespace Menus
