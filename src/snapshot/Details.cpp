#include "Details.h"

#include <QHash>
#include <algorithm>

QString digestText(const Digest &digest) {
    if (!hasDigest(digest))
        return {};
    return QString::fromLatin1(
        QByteArray::fromRawData(reinterpret_cast<const char *>(digest.data()), 32).toHex());
}

DetailsColumn::DetailsColumn() {
    m_shared.emplace_back();
}

std::uint32_t DetailsColumn::hashOf(const Shared &s) {
    std::size_t h = qHashMulti(0, s.mode, s.uid, s.gid, s.links, s.device, s.rdev);
    if (!s.linkTarget.isEmpty())
        h = qHashMulti(h, s.linkTarget);
    if (!s.capability.isEmpty())
        h = qHashMulti(h, s.capability);
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

void DetailsColumn::append(const Details &d) {
    if (!d.known()) {
        appendUnknown(1);
        return;
    }
    const std::uint32_t shared =
        intern(Shared{d.mode, d.uid, d.gid, d.links, d.device, d.rdev, d.linkTarget, d.capability});
    m_slots.push_back(Slot{shared, d.nanoseconds, d.inode});
}

void DetailsColumn::appendCopy(const DetailsColumn &from, std::size_t i,
                               std::vector<std::uint32_t> &seen) {
    constexpr std::uint32_t NotSeen = ~0u;
    Slot slot = from.m_slots[i];
    if (seen.size() < from.m_shared.size())
        seen.resize(from.m_shared.size(), NotSeen);
    std::uint32_t &to = seen[slot.shared];
    if (to == NotSeen)
        to = slot.shared == 0 ? 0 : intern(from.m_shared[slot.shared]);
    slot.shared = to;
    m_slots.push_back(slot);
}

std::uint32_t DetailsColumn::intern(const Shared &shared) {
    return m_index.findOrAdd(
        hashOf(shared), m_shared.size(), [&](std::uint32_t id) { return m_shared[id] == shared; },
        [&] {
            m_shared.push_back(shared);
            return static_cast<std::uint32_t>(m_shared.size() - 1);
        });
}

std::uint32_t DetailsColumn::differences(const DetailsColumn &a, std::size_t i,
                                         const DetailsColumn &b, std::size_t j) {
    const std::uint32_t x = a.m_slots[i].shared, y = b.m_slots[j].shared;
    if (x == 0 || y == 0)
        return 0;
    const Shared &o = a.m_shared[x], &f = b.m_shared[y];
    std::uint32_t differ = 0;
    if (o.mode != f.mode)
        differ |= Differ::Mode;
    if (o.uid != f.uid)
        differ |= Differ::Owner;
    if (o.gid != f.gid)
        differ |= Differ::Group;
    if (o.linkTarget != f.linkTarget)
        differ |= Differ::Link;
    if (o.rdev != f.rdev)
        differ |= Differ::Device;
    if (o.capability != f.capability)
        differ |= Differ::Capability;
    return differ;
}

void DetailsColumn::appendUnknown(std::size_t count) {
    m_slots.insert(m_slots.end(), count, Slot{0, 0, 0});
}

Details DetailsColumn::at(std::size_t i) const {
    const Slot &slot = m_slots[i];
    const Shared &s = m_shared[slot.shared];
    Details d;
    if (slot.shared == 0)
        return d;
    d.mode = s.mode;
    d.uid = s.uid;
    d.gid = s.gid;
    d.links = s.links;
    d.device = s.device;
    d.rdev = s.rdev;
    d.linkTarget = s.linkTarget;
    d.capability = s.capability;
    d.nanoseconds = slot.nanoseconds;
    d.inode = slot.inode;
    return d;
}

void DetailsColumn::squeeze() {
    if (m_slots.capacity() > 2 * m_slots.size())
        m_slots.shrink_to_fit();
}

void DetailsColumn::truncate(std::size_t n) {
    if (n < m_slots.size())
        m_slots.resize(n);
}

void DetailsColumn::permute(const std::vector<std::uint32_t> &order) {
    std::vector<Slot> slots;
    slots.reserve(m_slots.size());
    for (std::uint32_t k : order)
        slots.push_back(m_slots[k]);
    m_slots.swap(slots);
}

std::size_t DetailsColumn::memoryBytes() const {
    std::size_t bytes = m_slots.capacity() * sizeof(Slot) + m_shared.capacity() * sizeof(Shared) +
                        m_index.memoryBytes();
    for (const Shared &s : m_shared)
        bytes += std::size_t(s.linkTarget.size()) * 2 + std::size_t(s.capability.size());
    return bytes;
}
