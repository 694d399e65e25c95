#include "TPidl.h"

#include <cstring>

namespace {

std::size_t ListSize(PCItemIDList list) {
    std::size_t size = 0;
    while (std::uint16_t cb = ItemSizeField(reinterpret_cast<PCItemIDList>(ItemBytes(list) + size)))
        size += cb;
    return size + 2;
}

} // namespace

TPidl& TPidl::operator=(TPidl&& other) noexcept {
    if (this != &other)
        Reset(other.Release());
    return *this;
}

TPidl TPidl::Copy(PCItemIDList list) {
    if (!list)
        return {};
    std::size_t size = ListSize(list);
    PItemIDList copy = ItemIdAlloc(size);
    if (copy)
        std::memcpy(ItemBytes(copy), ItemBytes(list), size);
    return TPidl(copy);
}

TPidl TPidl::FromItemData(const void* data, std::size_t size) {
    if (size + 2 > 0xFFFF)
        return {};
    PItemIDList list = ItemIdAlloc(size + 4); // zero fill supplies the terminator
    if (!list)
        return {};
    SetItemSizeField(list, static_cast<std::uint16_t>(size + 2));
    if (size)
        std::memcpy(ItemBytes(list) + 2, data, size);
    return TPidl(list);
}

PItemIDList TPidl::Release() {
    PItemIDList list = List;
    List = nullptr;
    return list;
}

void TPidl::Reset(PItemIDList owned) {
    if (owned == List)
        return;
    ItemIdFree(List);
    List = owned;
}
