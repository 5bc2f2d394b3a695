#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// What a walk must know of the mounted file systems: which of them hold no files of the user's,
// so that even a walk across volumes never enters them.
namespace MountTable {

// The device numbers (as stat() gives them) of the kernel's own file systems in a mount table in
// the form of /proc/self/mountinfo: proc, sysfs, devtmpfs, cgroup and the like, and the
// runtime's tmpfs mounts at and under /run.
std::vector<std::uint64_t> kernelDevices(std::string_view mountinfo);
// The same for this machine; empty when its mount table cannot be read.
std::vector<std::uint64_t> kernelDevices();

} // namespace MountTable
