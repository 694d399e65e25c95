#include "PidlHelp.h"

#include "TShellNamespace.h"
#include "TSystemIconTable.h"

#include <cstring>

namespace {

// The last item of a non-empty list (the one whose successor is the terminator).
const std::uint8_t* LastItem(PCItemIDList list) {
    const std::uint8_t* p = ItemBytes(list);
    const std::uint8_t* last = nullptr;
    while (std::uint16_t cb = ItemSizeField(reinterpret_cast<PCItemIDList>(p))) {
        last = p;
        p += cb;
    }
    return last;
}

} // namespace

std::size_t GetPidlSize(PCItemIDList list) {
    if (!list)
        return 0;
    std::size_t size = 0;
    while (std::uint16_t cb = ItemSizeField(reinterpret_cast<PCItemIDList>(ItemBytes(list) + size)))
        size += cb;
    return size + 2;
}

PItemIDList NextPIDL(PItemIDList item) {
    std::uint16_t cb = ItemSizeField(item);
    return cb == 0 ? nullptr : reinterpret_cast<PItemIDList>(ItemBytes(item) + cb);
}

PCItemIDList NextPIDL(PCItemIDList item) {
    std::uint16_t cb = ItemSizeField(item);
    return cb == 0 ? nullptr : reinterpret_cast<PCItemIDList>(ItemBytes(item) + cb);
}

int PIDLCount(PCItemIDList list) {
    if (!list)
        return 0;
    int count = 0;
    for (PCItemIDList item = list; ItemSizeField(item) != 0; item = NextPIDL(item))
        ++count;
    return count;
}

PItemIDList CreatePIDL(std::size_t size) {
    return ItemIdAlloc(size);
}

void FreePIDL(PItemIDList& list) {
    if (!list)
        return;
    ItemIdFree(list);
    list = nullptr;
}

PItemIDList CopyPIDL(PCItemIDList list) {
    if (!list)
        return nullptr;
    std::size_t size = GetPidlSize(list);
    PItemIDList copy = CreatePIDL(size);
    if (copy)
        std::memcpy(ItemBytes(copy), ItemBytes(list), size);
    return copy;
}

PItemIDList ConcatPIDLs(PCItemIDList first, PCItemIDList second) {
    if (!second)
        return nullptr;
    std::size_t firstSize = first ? GetPidlSize(first) - 2 : 0;
    std::size_t secondSize = GetPidlSize(second);
    PItemIDList list = CreatePIDL(firstSize + secondSize);
    if (!list)
        return nullptr;
    if (firstSize)
        std::memcpy(ItemBytes(list), ItemBytes(first), firstSize);
    std::memcpy(ItemBytes(list) + firstSize, ItemBytes(second), secondSize);
    return list;
}

bool ComparePIDLs(PCItemIDList first, PCItemIDList second) {
    if (!first || !second)
        return !first && !second;
    std::size_t size = GetPidlSize(first);
    return size == GetPidlSize(second) &&
           std::memcmp(ItemBytes(first), ItemBytes(second), size) == 0;
}

PItemIDList CopyFirstID(PCItemIDList list) {
    if (!list)
        return nullptr;
    std::uint16_t cb = ItemSizeField(list);
    PItemIDList copy = CreatePIDL(cb + 2u); // the zero fill is the terminator
    if (copy)
        std::memcpy(ItemBytes(copy), ItemBytes(list), cb);
    return copy;
}

PItemIDList CopyLastID(PCItemIDList list) {
    if (!list)
        return nullptr;
    const std::uint8_t* last = LastItem(list);
    if (!last)
        return CreatePIDL(2);
    std::uint16_t cb = ItemSizeField(reinterpret_cast<PCItemIDList>(last));
    PItemIDList copy = CreatePIDL(cb + 2u);
    if (copy)
        std::memcpy(ItemBytes(copy), last, cb);
    return copy;
}

PItemIDList CopyParentPIDL(PCItemIDList list) {
    if (!list)
        return nullptr;
    const std::uint8_t* last = LastItem(list);
    std::size_t size = last ? static_cast<std::size_t>(last - ItemBytes(list)) + 2 : 2;
    PItemIDList parent = CreatePIDL(size);
    if (parent)
        std::memcpy(ItemBytes(parent), ItemBytes(list), size - 2);
    return parent;
}

PItemIDList StripLastID(PItemIDList list) {
    if (!list)
        return nullptr;
    const std::uint8_t* last = LastItem(list);
    if (!last)
        return list;
    auto terminator = reinterpret_cast<PItemIDList>(const_cast<std::uint8_t*>(last));
    SetItemSizeField(terminator, 0);
    return terminator;
}

std::string GetDisplayName(const TShellFolder* folder, PCItemIDList item, TDisplayNameType kind) {
    if (!folder || !item)
        return {};
    return folder->GetDisplayNameOf(item, kind);
}

bool GetPIDLFromPath(const TShellFolder* folder, const std::string& path, TPidl& result) {
    if (!folder)
        return false;
    TPidl parsed;
    if (!folder->ParseDisplayName(path, parsed) || !parsed)
        return false;
    result = std::move(parsed);
    return true;
}

std::string GetPathFromPIDL(PCItemIDList absolute) {
    return TShellNamespace::PathFromIDList(absolute);
}

int GetIconIndex(PCItemIDList absolute, unsigned flags) {
    if (!absolute)
        return -1;
    std::string key =
        TShellNamespace::DesktopFolder()->GetIconKeyOf(absolute, (flags & SHGFI_OPENICON) != 0);
    return TSystemIconTable::Instance().IndexOf(key);
}

void GetNormalAndSelectedIcons(PCItemIDList absolute, int& normal, int& selected) {
    normal = GetIconIndex(absolute, SHGFI_SYSICONINDEX | SHGFI_PIDL | SHGFI_SMALLICON);
    selected =
        GetIconIndex(absolute, SHGFI_SYSICONINDEX | SHGFI_PIDL | SHGFI_SMALLICON | SHGFI_OPENICON);
}
