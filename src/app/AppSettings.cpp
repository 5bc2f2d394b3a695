#include "AppSettings.h"

#include "compare/CompareOptions.h"

#include <QSettings>

namespace {

QString textOf(QSettings &store, const char *key, const QString &fallback = {}) {
    const QVariant value = store.value(QLatin1String(key));
    return value.isValid() ? value.toString() : fallback;
}

// On only when the stored text is exactly "1"; anything else, "yes" included, is off.
bool flagOf(QSettings &store, const char *key, bool fallback) {
    return textOf(store, key, fallback ? QStringLiteral("1") : QStringLiteral("0")) == u"1";
}

void readPlacement(QSettings &store, const char *key, double &target) {
    const QVariant value = store.value(QLatin1String(key));
    if (!value.isValid())
        return;
    bool ok = false;
    const float number = value.toString().trimmed().toFloat(&ok);
    if (ok)
        target = number;
}

QString flagText(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

QString placementText(double twips) {
    return QString::number(static_cast<double>(static_cast<float>(twips)), 'g', 7);
}

AppSettings AppSettings::read(QSettings &store) {
    AppSettings s;
    store.beginGroup(QLatin1String(SettingsKey::Section));
    readPlacement(store, SettingsKey::MainLeft, s.mainLeft);
    readPlacement(store, SettingsKey::MainTop, s.mainTop);
    readPlacement(store, SettingsKey::MainWidth, s.mainWidth);
    readPlacement(store, SettingsKey::MainHeight, s.mainHeight);
    s.maximized = flagOf(store, SettingsKey::Maximized, false);
    s.viewGrid = flagOf(store, SettingsKey::ViewGrid, true);
    s.linkCols = flagOf(store, SettingsKey::LinkCols, true);
    for (std::size_t k = 0; k < s.defPath.size(); ++k)
        s.defPath[k] = textOf(store, SettingsKey::rememberedFolders[k]);
    // A number: its leading numeric part, 0 when there is none.
    s.separate = leadingNumber(textOf(store, SettingsKey::Separate, QStringLiteral("0"))) != 0;
    s.otherVolumes = flagOf(store, SettingsKey::OtherVolumes, false);
    s.leaveOut = textOf(store, SettingsKey::LeaveOut);
    s.contents = flagOf(store, SettingsKey::Contents, false);
    s.findMoves = flagOf(store, SettingsKey::FindMoves, true);
    store.endGroup();
    return s;
}

void AppSettings::writeFlag(QSettings &store, const char *key, bool on) {
    store.setValue(QLatin1String(SettingsKey::Section) + u'/' + QLatin1String(key), flagText(on));
}

void AppSettings::writeText(QSettings &store, const char *key, const QString &text) {
    store.setValue(QLatin1String(SettingsKey::Section) + u'/' + QLatin1String(key), text);
}

void AppSettings::write(QSettings &store, bool withPlacement) const {
    store.beginGroup(QLatin1String(SettingsKey::Section));
    for (std::size_t k = 0; k < defPath.size(); ++k)
        store.setValue(QLatin1String(SettingsKey::rememberedFolders[k]), defPath[k]);
    store.setValue(QLatin1String(SettingsKey::ViewGrid), flagText(viewGrid));
    store.setValue(QLatin1String(SettingsKey::LinkCols), flagText(linkCols));
    if (withPlacement) {
        store.setValue(QLatin1String(SettingsKey::MainLeft), placementText(mainLeft));
        store.setValue(QLatin1String(SettingsKey::MainTop), placementText(mainTop));
        store.setValue(QLatin1String(SettingsKey::MainWidth), placementText(mainWidth));
        store.setValue(QLatin1String(SettingsKey::MainHeight), placementText(mainHeight));
        store.setValue(QLatin1String(SettingsKey::Maximized), flagText(maximized));
    }
    store.endGroup();
    store.sync();
}
