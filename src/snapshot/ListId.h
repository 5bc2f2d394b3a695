#pragma once

#include <array>
#include <cstddef>

// The six lists, in tab order: the two snapshots, then the four results of a comparison.
// None stands where a list is asked for and there is none.
enum class ListId { None, Original, Final, OnlyInOriginal, OnlyInFinal, Changed, Unchanged };

namespace Lists {
inline constexpr std::size_t Count = 6;
inline constexpr std::array<ListId, Count> All = {ListId::Original,       ListId::Final,
                                                  ListId::OnlyInOriginal, ListId::OnlyInFinal,
                                                  ListId::Changed,        ListId::Unchanged};
inline constexpr std::array<ListId, 2> Snapshots = {ListId::Original, ListId::Final};
inline constexpr std::array<ListId, 4> Results = {ListId::OnlyInOriginal, ListId::OnlyInFinal,
                                                  ListId::Changed, ListId::Unchanged};

// Where a list stands among the six (its tab), from 0; None has no place.
constexpr std::size_t indexOf(ListId id) {
    return static_cast<std::size_t>(id) - 1;
}
constexpr ListId atIndex(std::size_t index) {
    return index < Count ? static_cast<ListId>(index + 1) : ListId::None;
}
constexpr bool isSnapshot(ListId id) {
    return id == ListId::Original || id == ListId::Final;
}
constexpr bool isResult(ListId id) {
    return id >= ListId::OnlyInOriginal && id <= ListId::Unchanged;
}
// The other of the two snapshot lists.
constexpr ListId other(ListId snapshot) {
    return snapshot == ListId::Final ? ListId::Original : ListId::Final;
}
} // namespace Lists
