#include "SnapshotList.h"

#include "sort/TextKeys.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

FolderTable::FolderTable() {
    intern(QStringView());
}

std::uint32_t FolderTable::intern(QStringView folder) {
    return find(folder, nullptr);
}

std::uint32_t FolderTable::intern(const QString &folder) {
    return find(folder, &folder);
}

std::uint32_t FolderTable::find(QStringView folder, const QString *text) {
    // Entries arrive folder by folder, so the last folder is the usual hit.
    if (!m_texts.empty() && m_texts.back() == folder)
        return size() - 1;
    // A fixed seed: the table lives in one process and its texts are the user's own folders.
    const auto hash = static_cast<std::uint32_t>(qHash(folder, std::size_t(0x9E3779B97F4A7C15)));
    return m_index.findOrAdd(
        hash, m_texts.size(), [&](std::uint32_t id) { return m_texts[id] == folder; },
        [&] {
            m_texts.push_back(text ? *text : folder.toString());
            return size() - 1;
        });
}

const QString &FolderTable::lowerText(std::uint32_t id) const {
    while (m_lower.size() < m_texts.size())
        m_lower.push_back(TextKeys::lowered(m_texts[m_lower.size()]));
    return m_lower[id];
}

void FolderTable::clear() {
    // Made whole before the old table goes, so that a failure leaves the old one.
    FolderTable fresh;
    fresh.m_generation = m_generation + 1;
    *this = std::move(fresh);
}

NamePool::NamePool() {
    m_blocks.reserve(MaxBlocks);
}

NamePool::Ref NamePool::add(QStringView name) {
    const auto length = static_cast<std::uint32_t>(name.size());
    if (m_blocks.size() + 1 >= MaxBlocks)
        return {}; // eight gigabytes of names: past what a list can hold; the name is left out
    std::uint32_t block, pos = 0;
    if (length > BlockSize / 16) {
        // A long name gets a block of its own; short names go on filling the current block.
        block = static_cast<std::uint32_t>(m_blocks.size());
        m_blocks.push_back(std::make_unique_for_overwrite<char16_t[]>(length));
        m_bytes += length * sizeof(char16_t);
    } else {
        if (m_blocks.empty() || m_used + length > BlockSize) {
            m_current = static_cast<std::uint32_t>(m_blocks.size());
            m_blocks.push_back(std::make_unique_for_overwrite<char16_t[]>(BlockSize));
            m_bytes += BlockSize * sizeof(char16_t);
            m_used = 0;
        }
        block = m_current;
        pos = m_used;
        m_used += length;
    }
    if (length > 0) // an empty view may have no data at all, which memcpy must not be given
        std::memcpy(m_blocks[block].get() + pos, name.utf16(), length * sizeof(char16_t));
    return Ref{(block << BlockBits) | pos, length};
}

bool Entry::hasTime() const {
    return !std::isnan(modified);
}

void SnapshotList::reserve(std::size_t entries, bool details, bool contents) {
    m_entries.reserve(entries);
    if (details)
        m_details.reserve(entries);
    if (contents)
        m_contents.reserve(entries);
}

void SnapshotList::squeeze() {
    if (m_entries.capacity() > 2 * m_entries.size())
        m_entries.shrink_to_fit();
    m_details.squeeze();
}

void SnapshotList::append(QStringView name, std::uint32_t folder, std::int32_t attr,
                          std::uint64_t size, double modified) {
    m_entries.push_back(Entry{m_names->add(name), folder, attr, size, modified});
    if (hasDetails())
        appendDetails(Details());
}

void SnapshotList::append(QStringView name, std::uint32_t folder, std::int32_t attr,
                          std::uint64_t size, double modified, const Details &details) {
    m_entries.push_back(Entry{m_names->add(name), folder, attr, size, modified});
    appendDetails(details);
}

// For the entry appended last; every entry before it has its details already, unless none has.
void SnapshotList::appendDetails(const Details &details) {
    if (!hasDetails() && !details.known())
        return;
    try {
        m_details.appendUnknown(m_entries.size() - 1 - m_details.size());
        m_details.append(details);
    } catch (...) {
        truncate(size() - 1); // the entry goes with them: every entry has its details or none
        throw;
    }
}

void SnapshotList::append(QStringView name, QStringView folder, std::int32_t attr,
                          std::uint64_t size, double modified) {
    append(name, m_folders.intern(folder), attr, size, modified);
}

void SnapshotList::followCopiedList(const SnapshotList &from) {
    if (m_copiedFrom != &from.m_folders || m_copiedGeneration != from.m_folders.generation()) {
        m_copiedFrom = &from.m_folders;
        m_copiedGeneration = from.m_folders.generation();
        m_copiedFolders.assign(from.m_folders.size(), NoFolder);
        m_copiedDetails.clear();
    } else if (m_copiedFolders.size() < from.m_folders.size()) {
        m_copiedFolders.resize(from.m_folders.size(), NoFolder);
    }
}

void SnapshotList::appendCopy(const SnapshotList &from, int i, const OrigValues *orig) {
    const Entry &e = from.entry(i);
    followCopiedList(from);
    std::uint32_t &copiedTo = m_copiedFolders[e.folder];
    if (copiedTo == NoFolder)
        copiedTo = m_folders.intern(from.folder(i));
    if (m_entries.empty() && m_names != from.m_names && m_names->bytes() == 0)
        m_names = from.m_names;
    if (m_names == from.m_names)
        m_entries.push_back(Entry{e.name, copiedTo, e.attr, e.size, e.modified});
    else
        m_entries.push_back(
            Entry{m_names->add(from.name(i)), copiedTo, e.attr, e.size, e.modified});
    if (from.hasDetails() || hasDetails()) {
        try {
            m_details.appendUnknown(m_entries.size() - 1 - m_details.size());
            if (from.hasDetails())
                m_details.appendCopy(from.m_details, static_cast<std::size_t>(i), m_copiedDetails);
            else
                m_details.appendUnknown(1);
        } catch (...) {
            truncate(size() - 1);
            throw;
        }
    }
    if (from.hasContents()) {
        try {
            const auto k = static_cast<std::size_t>(i);
            if (k < from.m_contents.size() && hasDigest(from.m_contents[k].digest)) {
                m_contents.resize(m_entries.size() - 1);
                m_contents.push_back(from.m_contents[k]);
            }
        } catch (...) {
            truncate(size() - 1);
            throw;
        }
    }
    if (from.hasPackages() || hasPackages())
        copyPackageSet(from, i);
    if (orig) {
        m_orig.resize(m_entries.size() - 1);
        m_orig.push_back(*orig);
    } else if (!m_orig.empty()) {
        m_orig.emplace_back();
    }
}

void SnapshotList::copyPackageSet(const SnapshotList &from, int i) {
    // A list takes the owners of the list its first entry comes from; a comparison's result
    // list is made from one side.
    if (m_entries.size() == 1)
        m_packages = from.m_packages;
    if (m_packages != from.m_packages) {
        setPackages(nullptr, {});
        return;
    }
    try {
        m_packageSets.resize(m_entries.size() - 1);
        m_packageSets.push_back(from.packageSet(i));
    } catch (...) {
        truncate(size() - 1);
        throw;
    }
}

QString SnapshotList::packageText(int i) const {
    const auto k = static_cast<std::size_t>(i);
    return k < m_packageSets.size() && m_packages ? m_packages->text(m_packageSets[k]) : QString();
}

void SnapshotList::setPackages(std::shared_ptr<const OwnerTexts> packages,
                               std::vector<std::uint32_t> sets) {
    m_packages = std::move(packages);
    m_packageSets = m_packages ? std::move(sets) : std::vector<std::uint32_t>();
}

void SnapshotList::appendChanged(const SnapshotList &final, int j, const OrigValues &orig,
                                 const SnapshotList &original, int i) {
    appendCopy(final, j, &orig);
    if (!original.hasDetails() && m_origDetails.isEmpty())
        return;
    if (m_origFrom != &original.m_folders || m_origGeneration != original.m_folders.generation()) {
        m_origFrom = &original.m_folders;
        m_origGeneration = original.m_folders.generation();
        m_copiedOrigDetails.clear();
    }
    try {
        m_origDetails.appendUnknown(m_entries.size() - 1 - m_origDetails.size());
        if (original.hasDetails())
            m_origDetails.appendCopy(original.m_details, static_cast<std::size_t>(i),
                                     m_copiedOrigDetails);
        else
            m_origDetails.appendUnknown(1);
    } catch (...) {
        truncate(size() - 1);
        throw;
    }
}

void SnapshotList::setDigest(int i, const Digest &digest, std::uint64_t changeTime) {
    const auto k = static_cast<std::size_t>(i);
    if (k >= m_contents.size()) {
        if (!hasDigest(digest))
            return;
        m_contents.resize(m_entries.size());
    }
    m_contents[k] = {digest, hasDigest(digest) ? changeTime : 0};
}

void SnapshotList::setChangeTime(int i, std::uint64_t changeTime) {
    const auto k = static_cast<std::size_t>(i);
    if (k >= m_contents.size())
        m_contents.resize(m_entries.size());
    m_contents[k].changeTime = changeTime;
}

void SnapshotList::setMove(int i, const SnapshotList &other, int j, MoveRule rule,
                           std::uint32_t along) {
    const auto k = static_cast<std::size_t>(i);
    if (k >= m_moves.size())
        m_moves.resize(m_entries.size());
    if (m_movesFrom != &other.m_folders || m_movesGeneration != other.m_folders.generation()) {
        m_movesFrom = &other.m_folders;
        m_movesGeneration = other.m_folders.generation();
        m_moveFolderOf.assign(other.m_folders.size(), NoFolder);
    } else if (m_moveFolderOf.size() < other.m_folders.size()) {
        m_moveFolderOf.resize(other.m_folders.size(), NoFolder);
    }
    std::uint32_t &folder = m_moveFolderOf[other.entry(j).folder];
    if (folder == NoFolder)
        folder = m_moveFolders.intern(other.folder(j));
    // Most moves keep their names: the entry's own costs nothing more.
    const QStringView name = other.name(j);
    m_moves[k] = {folder, this->name(i) == name ? m_entries[k].name : m_names->add(name), rule,
                  along};
}

QString SnapshotList::movedPath(int i) const {
    const auto k = static_cast<std::size_t>(i);
    if (k >= m_moves.size() || m_moves[k].rule == MoveRule::None)
        return {};
    QString path = m_moveFolders.text(m_moves[k].folder);
    path.append(m_names->view(m_moves[k].name));
    return path;
}

void SnapshotList::clearEntries() {
    // What needs memory comes first: a failure leaves the list as it was.
    auto names = std::make_shared<NamePool>();
    DetailsColumn details, origDetails;
    m_folders.clear();
    m_names = std::move(names);
    m_entries = {};
    m_orig = {};
    m_details = std::move(details);
    m_origDetails = std::move(origDetails);
    m_contents = {};
    m_moves = {};
    m_packages.reset();
    m_packageSets = {};
    m_moveFolders.clear();
    m_movesFrom = nullptr;
    m_moveFolderOf = {};
    m_copiedFrom = nullptr;
    m_origFrom = nullptr;
    m_copiedOrigDetails = {};
    m_copiedFolders = {};
    m_copiedDetails = {};
    limits.clear();
}

void SnapshotList::clearAfterFailure() noexcept {
    try {
        clearEntries();
    } catch (const std::bad_alloc &) {
        // Still no memory: what goes without needing any does.
        m_entries = {};
        m_orig = {};
        m_details.truncate(0);
        m_origDetails.truncate(0);
        m_contents = {};
        m_moves = {};
        m_packages.reset();
        m_packageSets = {};
        m_copiedFolders = {};
        m_copiedOrigDetails = {};
        m_copiedDetails = {};
        limits = {};
    }
}

void SnapshotList::truncate(int n) {
    if (n < size())
        m_entries.resize(static_cast<std::size_t>(n));
    if (m_orig.size() > m_entries.size())
        m_orig.resize(m_entries.size());
    m_details.truncate(m_entries.size());
    m_origDetails.truncate(m_entries.size());
    if (m_contents.size() > m_entries.size())
        m_contents.resize(m_entries.size());
    if (m_moves.size() > m_entries.size())
        m_moves.resize(m_entries.size());
    if (m_packageSets.size() > m_entries.size())
        m_packageSets.resize(m_entries.size());
}

namespace {
// Puts element order[k] at place k, following each cycle of the permutation once, so no second
// copy of a million entries is needed.
template <typename T>
void permuteInPlace(std::vector<T> &items, const std::vector<std::uint32_t> &order) {
    std::vector<bool> done(items.size());
    for (std::size_t start = 0; start < items.size(); ++start) {
        if (done[start] || order[start] == start)
            continue;
        T held = std::move(items[start]);
        std::size_t k = start;
        for (;;) {
            done[k] = true;
            const std::size_t from = order[k];
            if (from == start) {
                items[k] = std::move(held);
                break;
            }
            items[k] = std::move(items[from]);
            k = from;
        }
    }
}
} // namespace

void SnapshotList::permute(const std::vector<std::uint32_t> &order) {
    // A gathered copy: reads at random but writes in order, which is far quicker than following
    // the permutation's cycles in place.
    std::vector<Entry> entries;
    entries.reserve(m_entries.size());
    for (std::uint32_t k : order)
        entries.push_back(m_entries[k]);
    m_entries.swap(entries);
    if (!m_orig.empty())
        permuteInPlace(m_orig, order);
    if (hasDetails())
        m_details.permute(order);
    if (!m_origDetails.isEmpty())
        m_origDetails.permute(order);
    if (hasContents()) {
        m_contents.resize(m_entries.size());
        permuteInPlace(m_contents, order);
    }
    if (hasMoves()) {
        m_moves.resize(m_entries.size());
        permuteInPlace(m_moves, order);
    }
    if (hasPackages()) {
        m_packageSets.resize(m_entries.size());
        permuteInPlace(m_packageSets, order);
    }
}

QString SnapshotList::limitText(std::size_t k) const {
    const Limit &limit = limits[k];
    if (!limit.named)
        return m_folders.text(limit.folder);
    const QStringView name = m_names->view(limit.name);
    const QString &folder = m_folders.text(limit.folder);
    QString text;
    text.reserve(folder.size() + name.size() + 1);
    text.append(folder);
    text.append(name);
    text.append(u'\\');
    return text;
}

qsizetype SnapshotList::findLimit(QStringView text) const {
    for (std::size_t k = 0; k < limits.size(); ++k) {
        const Limit &limit = limits[k];
        const QString &folder = m_folders.text(limit.folder);
        if (!limit.named) {
            if (folder == text)
                return static_cast<qsizetype>(k);
            continue;
        }
        const QStringView name = m_names->view(limit.name);
        if (text.size() == folder.size() + name.size() + 1 && text.startsWith(folder) &&
            text.sliced(folder.size(), name.size()) == name && text.back() == u'\\')
            return static_cast<qsizetype>(k);
    }
    return -1;
}

std::size_t SnapshotList::memoryBytes() const {
    return m_entries.capacity() * sizeof(Entry) + m_orig.capacity() * sizeof(OrigValues) +
           m_details.memoryBytes() + m_origDetails.memoryBytes() +
           m_contents.capacity() * sizeof(Contents) + m_moves.capacity() * sizeof(Move) +
           m_packageSets.capacity() * sizeof(std::uint32_t) +
           (m_names.use_count() == 1 ? m_names->bytes() : 0);
}
