#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

// An open-addressed index of values kept elsewhere by number. A slot holds a value's hash (high
// half) and its number + 1 (low half; 0 is a free slot): growing reads no value again, and a
// lookup compares a value only when the hashes agree.
class HashIndex {
public:
    // The number of the value with this hash that `equals(number)` accepts; when there is none,
    // `add()` keeps the value and returns its number, `count` being the numbers given so far.
    template <typename Equals, typename Add>
    std::uint32_t findOrAdd(std::uint32_t hash, std::size_t count, Equals equals, Add add) {
        if (2 * (count + 1) > m_slots.size())
            grow();
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const std::uint64_t slot = m_slots[i];
            if (slot == 0) {
                // The value first: memory that runs out then leaves no slot naming a missing one.
                const std::uint32_t id = add();
                m_slots[i] = std::uint64_t(hash) << 32 | (id + 1);
                return id;
            }
            const auto id = static_cast<std::uint32_t>(slot) - 1;
            if (static_cast<std::uint32_t>(slot >> 32) == hash && equals(id))
                return id;
        }
    }
    // The number of the value with this hash that `equals(number)` accepts, or NotFound.
    static constexpr std::uint32_t NotFound = ~std::uint32_t(0);
    template <typename Equals> std::uint32_t find(std::uint32_t hash, Equals equals) const {
        if (m_slots.empty())
            return NotFound;
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const std::uint64_t slot = m_slots[i];
            if (slot == 0)
                return NotFound;
            const auto id = static_cast<std::uint32_t>(slot) - 1;
            if (static_cast<std::uint32_t>(slot >> 32) == hash && equals(id))
                return id;
        }
    }
    std::size_t memoryBytes() const { return m_slots.capacity() * sizeof(std::uint64_t); }
    // Room for `count` values without growing on the way.
    void reserve(std::size_t count) {
        while (2 * (count + 1) > m_slots.size())
            grow(std::max<std::size_t>(64, 2 * (count + 1)));
    }

private:
    void grow(std::size_t atLeast = 0) {
        std::size_t size = std::max<std::size_t>(64, 2 * m_slots.size());
        while (size < atLeast)
            size *= 2;
        std::vector<std::uint64_t> slots(size);
        const std::size_t mask = slots.size() - 1;
        for (std::uint64_t slot : m_slots) {
            if (slot == 0)
                continue;
            std::size_t i = (slot >> 32) & mask;
            while (slots[i] != 0)
                i = (i + 1) & mask;
            slots[i] = slot;
        }
        m_slots.swap(slots);
    }

    std::vector<std::uint64_t> m_slots;
};
