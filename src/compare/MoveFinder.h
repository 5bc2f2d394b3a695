#pragma once

class Workspace;

// Finds the entries of the two Only lists of a comparison that are one file or folder moved or
// renamed, marks them in both lists and fills the Moved list with them (the Final's side).
//
// Each entry only in the Final, in list order, pairs with the first entry only in the Original,
// in list order and not yet paired, that the first of these rules to allow a pair allows:
//  1. the same volume and inode, where both lists hold them (a folder with a folder, a file with
//     a file of the same size: a move that changed a file's size is not a move);
//  2. the same size and SHA-256 digest, for files of at least one byte that both lists hold
//     digests of (empty files are all alike);
//  3. the same name, size and modified time, for files that have a time.
// Then, deepest first, a folder only in the Original whose entries that moved all went to one
// folder only in the Final (and at least half of its entries moved) pairs with that folder.
//
// A move below a moved folder that keeps its place in that folder goes with the folder: the
// Moved list has one row for the folder, counting the entries that went along.
void findMoves(Workspace &ws);
