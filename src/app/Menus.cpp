#include "Menus.h"

#include "widgets/Icons.h"

#include <QActionGroup>
#include <QMainWindow>
#include <QMenuBar>
#include <QToolBar>

namespace {

// The toolbar's buttons, left to right: each key is the button's caption and names the menu
// entry whose command it runs.
struct ButtonDef {
    const char *key;
    const char *command;
};
constexpr ButtonDef Buttons[] = {
    {"New", "FileNew"},
    {"Open", "FileOpen"},
    {"Import", "FileImport"},
    {"Save As", "FileSaveAs"},
    {"Close", "FileClose"},
    {"Compare", "FileCompare"},
    {"Export", "FileExport"},
    {"Print", "FilePrint"},
    // Beyond the classic eight, after a gap.
    {"Compare Now", "FileCompareNow"},
};

} // namespace

namespace Menus {

void build(QMainWindow *window) {
    struct Entry {
        const char *name; // null: a separator
        const char *caption;
        QKeySequence shortcut;
        bool enabled;
        bool checkable;
        bool checked;
    };
    auto addEntries = [](QMenu *menu, std::initializer_list<Entry> entries) {
        for (const Entry &e : entries) {
            QAction *action =
                e.caption ? menu->addAction(QLatin1String(e.caption)) : menu->addSeparator();
            if (e.name)
                action->setObjectName(QLatin1String(e.name));
            if (!e.caption)
                continue;
            action->setShortcut(e.shortcut);
            action->setEnabled(e.enabled);
            action->setCheckable(e.checkable);
            action->setChecked(e.checked);
        }
    };

    QMenu *file = window->menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("FileMenu"));
    addEntries(
        file,
        {
            {"FileNew", "&New...", QKeySequence(Qt::CTRL | Qt::Key_N), true, false, false},
            {"FileOpen", "&Open", QKeySequence(Qt::CTRL | Qt::Key_O), true, false, false},
            {"FileClose", "&Close", QKeySequence(Qt::CTRL | Qt::Key_F4), false, false, false},
            {"FileSaveAs", "&Save As...", QKeySequence(Qt::CTRL | Qt::Key_S), false, false, false},
            {"FileExport", "&Export to CSV File...", QKeySequence(Qt::CTRL | Qt::Key_E), false,
             false, false},
            {"FileImport", "&Import DOS Directory...", QKeySequence(Qt::CTRL | Qt::Key_I), true,
             false, false},
            {nullptr, nullptr, {}, true, false, false},
            {"FileCompare", "&Compare Snapshots...", QKeySequence(Qt::CTRL | Qt::Key_C), false,
             false, false},
            {"FileCompareNow", "Compare with &Folder Now",
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), false, false, false},
            {"FileProps", "S&napshot Properties", QKeySequence(Qt::CTRL | Qt::Key_R), false, false,
             false},
            {nullptr, nullptr, {}, true, false, false},
            {"FilePrint", "&Print...", QKeySequence(Qt::CTRL | Qt::Key_P), false, false, false},
            {"FilePageSetup", "Page Set&up...", QKeySequence(Qt::CTRL | Qt::Key_U), true, false,
             false},
            {nullptr, nullptr, {}, true, false, false},
            {"FileExit", "E&xit Vistrel", {}, true, false, false},
        });

    QMenu *view = window->menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("mnuView"));
    addEntries(view, {
                         {"ViewDetails", "&Detailed View", {}, true, true, true},
                         {"ViewSummary", "&Summary View", {}, true, true, false},
                         {"ViewBar1", nullptr, {}, true, false, false},
                         {"ViewGrid", "Show &Grid Lines", QKeySequence(Qt::CTRL | Qt::Key_G), true,
                          true, true},
                         {"ViewWidths", "Column &Widths are Linked",
                          QKeySequence(Qt::CTRL | Qt::Key_W), true, true, true},
                         {"ViewBar2", nullptr, {}, true, false, false},
                         {"ViewChanges", "&Change Summary...", {}, false, false, false},
                     });
    auto *views = new QActionGroup(window);
    views->addAction(window->findChild<QAction *>(QStringLiteral("ViewDetails")));
    views->addAction(window->findChild<QAction *>(QStringLiteral("ViewSummary")));

    QMenu *help = window->menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    addEntries(help,
               {
                   {"HelpScreen", "Vistrel &Help", QKeySequence(Qt::Key_F1), true, false, false},
                   {"HelpAbout", "&About Vistrel...", {}, true, false, false},
               });
}

QToolBar *buildToolbar(QMainWindow *window) {
    QToolBar *toolbar = window->addToolBar(QStringLiteral("Toolbar"));
    toolbar->setObjectName(QStringLiteral("Toolbar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setIconSize(QSize(16, 16));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    for (const ButtonDef &def : Buttons) {
        const QString key = QLatin1String(def.key);
        if (key == u"Compare Now")
            toolbar->addSeparator();
        QAction *action = toolbar->addAction(Icons::toolbar(key), key);
        action->setData(key);
        if (key == u"Compare Now")
            action->setToolTip(QStringLiteral("Compare with Folder Now (Ctrl+Shift+C)"));
        action->setEnabled(window->findChild<QAction *>(QLatin1String(def.command))->isEnabled());
    }
    toolbar->toggleViewAction()->setVisible(false);
    return toolbar;
}

const char *commandOfButton(const QString &key) {
    for (const ButtonDef &def : Buttons) {
        if (key == QLatin1String(def.key))
            return def.command;
    }
    return nullptr;
}

} // namespace Menus
