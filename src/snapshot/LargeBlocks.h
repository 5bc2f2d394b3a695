#pragma once

// A million-entry list is a few large blocks (entries, names, sort orders). By default the C
// library keeps a freed block of that size for later (it raises its threshold for taking blocks
// straight from the system), so a sort or comparison leaves the program holding its working
// memory for good. Called once at start-up, this hands every large block back when it is freed.
void returnLargeBlocksWhenFreed();

// Hands back to the system the free memory the C library holds between the blocks it keeps (a
// sort's or comparison's working memory, freed on other threads, is left in their pools).
void releaseFreeMemory();
