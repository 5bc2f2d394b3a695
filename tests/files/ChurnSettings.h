#pragma once

#include "app/AppSettings.h"

#include <QString>

// The two sets of settings the recovery writer stores in turn. Every value differs from the
// default, so a key lost from a damaged file shows as a changed value, and the folder texts
// hold what a settings file must quote.
inline AppSettings churnSettings(int k) {
    AppSettings s;
    s.mainLeft = k == 0 ? 1200 : -60;
    s.mainTop = k == 0 ? 345.5 : 900;
    s.mainWidth = k == 0 ? 12000 : 8000;
    s.mainHeight = k == 0 ? 7000 : 5000.25;
    s.maximized = true;
    s.viewGrid = false;
    s.linkCols = false;
    s.defPath = {k == 0 ? QStringLiteral("/home/ana/Fotos 🎉") : QStringLiteral("/srv/a=b;c"),
                 k == 0 ? QStringLiteral("/mnt/\"quoted\", comma") : QStringLiteral("/tmp/[x]"),
                 k == 0 ? QStringLiteral("C:\\Data\\#hash") : QStringLiteral("/media/d%20e")};
    s.separate = true;
    s.otherVolumes = true;
    return s;
}
