#pragma once

#include "session/Session.h"
#include "widgets/Icons.h"

#include <QKeyCombination>
#include <array>

class CompareCommands;
class FileCommands;
class MainWindow;
class PrintCommands;

// Every command of the menus and the toolbar.
enum class Command {
    New,
    Open,
    Close,
    SaveAs,
    Export,
    ExportHtml,
    Import,
    Compare,
    CompareNow,
    Properties,
    Print,
    PageSetup,
    Exit,
    DetailedView,
    SummaryView,
    GridLines,
    LinkedWidths,
    ChangeSummary,
    Help,
    About,
};

// The objects that carry the commands out.
struct CommandTargets {
    FileCommands &files;
    CompareCommands &compare;
    PrintCommands &print;
    MainWindow &window;
};

// One command: where it shows, what it is called, when it may run and what runs it. The rows
// come in menu order; the window makes one action of each, which the menu and the toolbar
// share.
struct CommandRow {
    enum class Menu { File, View, Help };
    enum class Check { None, Off, On };

    Command id;
    const char *name; // the action's object name, which tests and screen readers find it by
    Menu menu;
    const char *separatorBefore; // the name of a separator before it in its menu; "" unnamed
    const char *caption;
    QKeyCombination shortcut;
    Check check;
    // The toolbar: its place (1 for the first button, 0 for none), caption and picture, and
    // whether a gap comes before it.
    int button;
    const char *buttonCaption;
    Icons::Tool picture;
    bool gapBefore;
    // Which of the session's command states enables it; null for always.
    bool Session::CommandStates::*enabledBy;
    void (*run)(CommandTargets &);
};

inline constexpr std::size_t CommandCount = std::size_t(Command::About) + 1;
const std::array<CommandRow, CommandCount> &commandTable();
const CommandRow &commandRow(Command id);
