#pragma once

#include <functional>

// Runs `work` on a worker thread while this (the user-interface) thread keeps its windows
// painted. Mouse and key input wait until the work is done and are delivered afterwards, as they
// would be to a thread busy with the work itself. Returns when the work has finished, even if
// the application was told to quit meanwhile.
//
// The work must not touch widgets, and no model of a view may read what it changes (see
// ListModel::hold()).
void runWhilePainting(const std::function<void()> &work);
