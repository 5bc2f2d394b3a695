#pragma once

#include <QStringList>

// vistrel-cli import LISTING -o FILE.dir
int cmdImport(const QStringList &args);
// vistrel-cli report FILE.dir [--attributes]
int cmdReport(const QStringList &args);
