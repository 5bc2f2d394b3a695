#pragma once

#include <QByteArray>

// The temporary files being written in this process, so that a signal that ends the program
// (Ctrl+C, a kill, a closed terminal) does not leave them behind. A writer adds its temporary
// once it is made and removes it from here once it has renamed or removed it.
namespace PendingFiles {

// Returns the temporary's place here, or -1 when every place is taken (the file is then
// written as before, only not removed on a signal). `folder` must stay open until remove().
int add(int folder, const QByteArray &name);
void remove(int place);

// On SIGINT, SIGTERM and SIGHUP the temporaries are removed before the signal ends the
// program as it would have anyway. A signal the program was told to ignore (nohup) stays
// ignored. Both programs call this first thing.
void removeOnSignals();

} // namespace PendingFiles
