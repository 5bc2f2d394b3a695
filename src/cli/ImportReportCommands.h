#pragma once

struct Args;

// vistrel-cli import LISTING -o FILE.dir
int cmdImport(const Args &args);
// vistrel-cli report FILE.dir [--attributes]
int cmdReport(const Args &args);
