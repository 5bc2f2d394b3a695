#pragma once

#include <QStringList>

// vistrel-cli import LISTING -o FILE.dir
int cmdImport(const QStringList &argv);
// vistrel-cli report FILE.dir [--attributes]
int cmdReport(const QStringList &argv);
