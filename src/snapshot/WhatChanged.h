#pragma once

#include <QString>
#include <cstdint>

struct Details;

// A Changed entry's differences (Differ bits) in words a user reads at a glance, the details
// with their values before and after: "size; modified; mode 0755 → 4755; owner root → www-data;
// link → /opt/new". Texts that come from the disk are shown as names are.
QString whatChanged(std::uint32_t differ, const Details &before, const Details &after);

// Whether the contents changed while the size and the time did not: the most suspicious change
// there is, made on purpose to pass unseen.
bool isQuietContentsChange(std::uint32_t differ);

// The same as `rpm -V` prints it: nine places, "SM5DLUGTP", each its letter when that differs
// and "." when not (size, mode, digest, device numbers, link target, user, group, time,
// capabilities).
QString changeLetters(std::uint32_t differ);

// The permission bits as `ls -l` shows them, with the file type first: "-rwsr-xr-x".
QString permissionsText(std::uint32_t mode);
