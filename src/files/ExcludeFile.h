#pragma once

#include "FileError.h"

#include <QStringList>
#include <QStringView>

// The patterns of an exclusion file: one a line; blank lines, and lines whose first character
// other than a blank is "#", say nothing.
QStringList excludeFileLines(QStringView text);
// Reads an exclusion file (UTF-8) and appends its patterns.
FileError readExcludeFile(const QString &path, QStringList &patterns);
