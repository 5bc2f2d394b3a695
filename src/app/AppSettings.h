#pragma once

#include <QString>
#include <array>

class QSettings;

// The values the program keeps in the per-user settings store (application "Vistrel",
// section "Settings"). Every value is stored as text; these routines apply the reading rules
// and write the texts back in the same forms.
struct AppSettings {
    // Window placement in twips (outer frame).
    double mainLeft = 0;
    double mainTop = 0;
    double mainWidth = 9630;
    double mainHeight = 6120;
    bool maximized = false;
    bool viewGrid = true;
    bool linkCols = true;
    std::array<QString, 3> defPath;
    bool separate = false;
    bool otherVolumes = false;
    // The New Snapshot dialog's "Leave out" patterns, as typed.
    QString leaveOut;
    // Its "Record file contents (SHA-256)".
    bool contents = false;
    // The Compare dialog's "Find moved and renamed entries".
    bool findMoves = true;

    // Reads every key; absent keys and placement texts that are not numbers keep the defaults.
    static AppSettings read(QSettings &store);
    // Writes the view options, folders and, unless `withPlacement` is false (the window is
    // minimized), the placement keys.
    void write(QSettings &store, bool withPlacement) const;
    // Writes one on/off key by itself (the New Snapshot dialog's, each time it closes).
    static void writeFlag(QSettings &store, const char *key, bool on);
    // Writes one text key by itself.
    static void writeText(QSettings &store, const char *key, const QString &text);
};

// Names of the section and keys.
namespace SettingsKey {
inline constexpr const char *Section = "Settings";
inline constexpr const char *MainLeft = "MainLeft";
inline constexpr const char *MainTop = "MainTop";
inline constexpr const char *MainWidth = "MainWidth";
inline constexpr const char *MainHeight = "MainHeight";
inline constexpr const char *Maximized = "Maximized";
inline constexpr const char *ViewGrid = "ViewGrid";
inline constexpr const char *LinkCols = "LinkCols";
inline constexpr const char *rememberedFolders[3] = {"DefPath", "DefPath1", "DefPath2"};
inline constexpr const char *Separate = "Separate";
inline constexpr const char *OtherVolumes = "OtherVolumes";
inline constexpr const char *LeaveOut = "LeaveOut";
inline constexpr const char *Contents = "Contents";
inline constexpr const char *FindMoves = "FindMoves";
} // namespace SettingsKey

// A placement number as the store holds it: a single-precision value in plain digits
// ("1200", "-60", "1234.5").
QString placementText(double twips);
