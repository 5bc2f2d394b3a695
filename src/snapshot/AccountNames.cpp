#include "AccountNames.h"

#include "NameCodec.h"

#include <QHash>
#include <grp.h>
#include <mutex>
#include <pwd.h>
#include <vector>

namespace {

// A list shows the same few owners on every row: each number is looked up once.
class NameCache {
public:
    template <typename Lookup> QString name(std::uint32_t id, Lookup lookup) {
        const std::lock_guard lock(m_mutex);
        const auto found = m_names.constFind(id);
        if (found != m_names.cend())
            return *found;
        const char *name = nullptr;
        std::vector<char> buffer(16384);
        name = lookup(id, buffer);
        // An account's name comes from a file another may have written: shown as names are.
        const QString text =
            name ? NameCodec::printable(NameCodec::fromBytes(name)) : QString::number(id);
        m_names.insert(id, text);
        return text;
    }

private:
    std::mutex m_mutex;
    QHash<std::uint32_t, QString> m_names;
};

} // namespace

QString AccountNames::user(std::uint32_t uid) {
    static NameCache cache;
    return cache.name(uid, [](std::uint32_t id, std::vector<char> &buffer) -> const char * {
        struct passwd entry, *found = nullptr;
        getpwuid_r(id, &entry, buffer.data(), buffer.size(), &found);
        return found ? found->pw_name : nullptr;
    });
}

QString AccountNames::group(std::uint32_t gid) {
    static NameCache cache;
    return cache.name(gid, [](std::uint32_t id, std::vector<char> &buffer) -> const char * {
        struct group entry, *found = nullptr;
        getgrgid_r(id, &entry, buffer.data(), buffer.size(), &found);
        return found ? found->gr_name : nullptr;
    });
}
