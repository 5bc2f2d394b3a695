#pragma once

#include <QStringList>

// Fails (before anything is written) when an output is one of the inputs: the same file by
// device and inode, however the paths reach it, so that a command never replaces what it was
// given to read.
void refuseInputAsOutput(const QStringList &outputs, const QStringList &inputs);
