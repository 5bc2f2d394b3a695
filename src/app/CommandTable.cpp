#include "CommandTable.h"

#include "CompareCommands.h"
#include "FileCommands.h"
#include "MainWindow.h"
#include "PrintCommands.h"

namespace {

using Menu = CommandRow::Menu;
using Check = CommandRow::Check;
using States = Session::CommandStates;
using Tool = Icons::Tool;
constexpr QKeyCombination None{};
constexpr QKeyCombination ctrl(Qt::Key key) {
    return QKeyCombination(Qt::ControlModifier, key);
}

// clang-format off
constexpr std::array<CommandRow, CommandCount> Rows = {{
    {Command::New, "FileNew", Menu::File, nullptr, "&New...", ctrl(Qt::Key_N), Check::None,
     1, "New", Tool::New, false, nullptr,
     [](CommandTargets &t) { t.compare.newSnapshot(); }},
    {Command::Open, "FileOpen", Menu::File, nullptr, "&Open", ctrl(Qt::Key_O), Check::None,
     2, "Open", Tool::Open, false, nullptr,
     [](CommandTargets &t) { t.files.open(); }},
    {Command::Close, "FileClose", Menu::File, nullptr, "&Close", ctrl(Qt::Key_F4), Check::None,
     5, "Close", Tool::Close, false, &States::close,
     [](CommandTargets &t) { t.files.closeShown(); }},
    {Command::SaveAs, "FileSaveAs", Menu::File, nullptr, "&Save As...", ctrl(Qt::Key_S),
     Check::None, 4, "Save As", Tool::SaveAs, false, &States::saveAs,
     [](CommandTargets &t) { t.files.saveAs(); }},
    {Command::Export, "FileExport", Menu::File, nullptr, "&Export to CSV File...", ctrl(Qt::Key_E),
     Check::None, 7, "Export", Tool::Export, false, &States::exportCsv,
     [](CommandTargets &t) { t.files.exportShown(); }},
    {Command::ExportHtml, "FileExportHtml", Menu::File, nullptr, "Export &Report as HTML...",
     None, Check::None, 0, nullptr, Tool::None, false, &States::changeSummary,
     [](CommandTargets &t) { t.print.exportHtmlReport(); }},
    {Command::Import, "FileImport", Menu::File, nullptr, "&Import DOS Directory...",
     ctrl(Qt::Key_I), Check::None, 3, "Import", Tool::Import, false, nullptr,
     [](CommandTargets &t) { t.files.importListing(); }},
    {Command::Compare, "FileCompare", Menu::File, "", "&Compare Snapshots...", ctrl(Qt::Key_C),
     Check::None, 6, "Compare", Tool::Compare, false, &States::compare,
     [](CommandTargets &t) { t.compare.compare(); }},
    {Command::CompareNow, "FileCompareNow", Menu::File, nullptr, "Compare with &Folder Now",
     QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_C), Check::None,
     9, "Compare Now", Tool::CompareNow, true, &States::compareNow,
     [](CommandTargets &t) { t.compare.compareWithFolderNow(); }},
    {Command::Properties, "FileProps", Menu::File, nullptr, "S&napshot Properties",
     ctrl(Qt::Key_R), Check::None, 0, nullptr, Tool::None, false, &States::properties,
     [](CommandTargets &t) { t.files.showProperties(); }},
    {Command::Print, "FilePrint", Menu::File, "", "&Print...", ctrl(Qt::Key_P), Check::None,
     8, "Print", Tool::Print, false, &States::print,
     [](CommandTargets &t) { t.print.print(); }},
    {Command::PageSetup, "FilePageSetup", Menu::File, nullptr, "Page Set&up...", ctrl(Qt::Key_U),
     Check::None, 0, nullptr, Tool::None, false, nullptr,
     [](CommandTargets &t) { t.print.pageSetup(); }},
    {Command::Exit, "FileExit", Menu::File, "", "E&xit Vistrel", None, Check::None,
     0, nullptr, Tool::None, false, nullptr,
     [](CommandTargets &t) { t.window.exitProgram(); }},
    {Command::DetailedView, "ViewDetails", Menu::View, nullptr, "&Detailed View", None,
     Check::On, 0, nullptr, Tool::None, false, nullptr,
     [](CommandTargets &t) { t.window.showDetails(); }},
    {Command::SummaryView, "ViewSummary", Menu::View, nullptr, "&Summary View", None,
     Check::Off, 0, nullptr, Tool::None, false, nullptr,
     [](CommandTargets &t) { t.window.showSummary(); }},
    {Command::GridLines, "ViewGrid", Menu::View, "ViewBar1", "Show &Grid Lines", ctrl(Qt::Key_G),
     Check::On, 0, nullptr, Tool::None, false, nullptr,
     [](CommandTargets &t) { t.window.toggleGridLines(); }},
    {Command::LinkedWidths, "ViewWidths", Menu::View, nullptr, "Column &Widths are Linked",
     ctrl(Qt::Key_W), Check::On, 0, nullptr, Tool::None, false, nullptr,
     [](CommandTargets &t) { t.window.toggleLinkedWidths(); }},
    {Command::ChangeSummary, "ViewChanges", Menu::View, "ViewBar2", "&Change Summary...", None,
     Check::None, 0, nullptr, Tool::None, false, &States::changeSummary,
     [](CommandTargets &t) { t.window.showChangeSummary(); }},
    {Command::Help, "HelpScreen", Menu::Help, nullptr, "Vistrel &Help", QKeyCombination(Qt::Key_F1),
     Check::None, 0, nullptr, Tool::None, false, nullptr,
     [](CommandTargets &t) { t.window.showHelp(); }},
    {Command::About, "HelpAbout", Menu::Help, nullptr, "&About Vistrel...", None, Check::None,
     0, nullptr, Tool::None, false, nullptr,
     [](CommandTargets &t) { t.window.showAbout(); }},
}};
// clang-format on

constexpr bool inOrder() {
    for (std::size_t k = 0; k < Rows.size(); ++k) {
        if (Rows[k].id != Command(k))
            return false;
    }
    return true;
}
static_assert(inOrder(), "each command's row stands at its place");

} // namespace

const std::array<CommandRow, CommandCount> &commandTable() {
    return Rows;
}

const CommandRow &commandRow(Command id) {
    return Rows[std::size_t(id)];
}
