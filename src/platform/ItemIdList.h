#pragma once

#include <cstddef>
#include <cstdint>

// Item identifier lists: the namespace's own form of a path. One contiguous block of items, each
// led by a 16-bit little-endian size that counts the whole item (size field included), ended by a
// 16-bit zero. The empty list (terminator only) is the desktop, the root of the namespace.
//
// A list is only ever handled by address; its bytes are reached through ItemBytes(). Every list is
// allocated with ItemIdAlloc and released with ItemIdFree (malloc/free), whoever made it: the
// namespace's folders and the program's PidlHelp share this one allocator.
struct TItemIDList;
using PItemIDList = TItemIDList*;
using PCItemIDList = const TItemIDList*;

// A zero-filled block of `size` bytes, or null when it cannot be had (or size is 0).
PItemIDList ItemIdAlloc(std::size_t size);
// Releases a block from ItemIdAlloc; null is ignored.
void ItemIdFree(PItemIDList list);

inline std::uint8_t* ItemBytes(PItemIDList list) {
    return reinterpret_cast<std::uint8_t*>(list);
}
inline const std::uint8_t* ItemBytes(PCItemIDList list) {
    return reinterpret_cast<const std::uint8_t*>(list);
}
// The size field of the item at `item` (0 for the terminator).
inline std::uint16_t ItemSizeField(PCItemIDList item) {
    const std::uint8_t* p = ItemBytes(item);
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline void SetItemSizeField(PItemIDList item, std::uint16_t size) {
    std::uint8_t* p = ItemBytes(item);
    p[0] = static_cast<std::uint8_t>(size & 0xFF);
    p[1] = static_cast<std::uint8_t>(size >> 8);
}
