#include "MountTable.h"

#include "Volumes.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/sysmacros.h>

namespace MountTable {

namespace {

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const std::size_t start = line.find_first_not_of(' ', pos);
        if (start == std::string_view::npos)
            break;
        std::size_t end = line.find(' ', start);
        if (end == std::string_view::npos)
            end = line.size();
        out.push_back(line.substr(start, end - start));
        pos = end;
    }
    return out;
}

// Mount points escape blanks, tabs, newlines and backslashes as a backslash and three octal
// digits.
std::string unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() &&
            std::all_of(text.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                        text.begin() + static_cast<std::ptrdiff_t>(i) + 4,
                        [](char c) { return c >= '0' && c <= '7'; })) {
            out.push_back(static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                                            (text[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

bool parseDevice(std::string_view text, std::uint64_t &device) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return false;
    unsigned major = 0, minor = 0;
    const auto a = std::from_chars(text.data(), text.data() + colon, major);
    const auto b = std::from_chars(text.data() + colon + 1, text.data() + text.size(), minor);
    if (a.ec != std::errc() || b.ec != std::errc())
        return false;
    device = makedev(major, minor);
    return true;
}

bool isUnderRun(const std::string &mountPoint) {
    return mountPoint == "/run" || mountPoint.rfind("/run/", 0) == 0;
}

} // namespace

std::vector<std::uint64_t> kernelDevices(std::string_view mountinfo) {
    std::vector<std::uint64_t> devices;
    std::size_t pos = 0;
    while (pos < mountinfo.size()) {
        std::size_t end = mountinfo.find('\n', pos);
        if (end == std::string_view::npos)
            end = mountinfo.size();
        const std::vector<std::string_view> f = fields(mountinfo.substr(pos, end - pos));
        pos = end + 1;
        // id parent major:minor root mount-point options [optional...] - type source options
        const auto dash = std::find(f.begin(), f.end(), std::string_view("-"));
        if (f.size() < 6 || dash == f.end() || dash + 1 == f.end() || dash - f.begin() < 6)
            continue;
        std::uint64_t device = 0;
        if (!parseDevice(f[2], device))
            continue;
        const std::string_view type = dash[1];
        const bool kernel =
            isPseudoFileSystem(QByteArray(type.data(), static_cast<qsizetype>(type.size()))) ||
            (type == "tmpfs" && isUnderRun(unescaped(f[4])));
        if (kernel && std::find(devices.begin(), devices.end(), device) == devices.end())
            devices.push_back(device);
    }
    return devices;
}

std::vector<std::uint64_t> kernelDevices() {
    std::ifstream in("/proc/self/mountinfo");
    if (!in)
        return {};
    std::ostringstream text;
    text << in.rdbuf();
    return kernelDevices(text.str());
}

} // namespace MountTable
