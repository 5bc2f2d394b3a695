#pragma once

#include <array>
#include <cstddef>

// The seven lists, in tab order: the two snapshots, then the results of a comparison: the four
// it always has, and the entries found moved or renamed (each also in the two Only lists).
// None stands where a list is asked for and there is none.
enum class ListId { None, Original, Final, OnlyInOriginal, OnlyInFinal, Changed, Unchanged, Moved };

namespace Lists {
inline constexpr std::size_t Count = 7;
inline constexpr std::array<ListId, Count> All = {
    ListId::Original, ListId::Final,     ListId::OnlyInOriginal, ListId::OnlyInFinal,
    ListId::Changed,  ListId::Unchanged, ListId::Moved};
inline constexpr std::array<ListId, 2> Snapshots = {ListId::Original, ListId::Final};
inline constexpr std::array<ListId, 5> Results = {
    ListId::OnlyInOriginal, ListId::OnlyInFinal, ListId::Changed, ListId::Unchanged, ListId::Moved};
// The four results every comparison has; moves are looked for on request.
inline constexpr std::array<ListId, 4> FourResults = {ListId::OnlyInOriginal, ListId::OnlyInFinal,
                                                      ListId::Changed, ListId::Unchanged};

// Where a list stands among the seven (its tab), from 0; None has no place.
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
    return id >= ListId::OnlyInOriginal && id <= ListId::Moved;
}
// The other of the two snapshot lists.
constexpr ListId other(ListId snapshot) {
    return snapshot == ListId::Final ? ListId::Original : ListId::Final;
}
} // namespace Lists
