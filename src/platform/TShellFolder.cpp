#include "TShellFolder.h"

#include <algorithm>
#include <cstring>

TShellFolder::~TShellFolder() = default;

void TShellFolder::GetNamesOf(PCItemIDList relative, std::string& parsing,
                              std::string& normal) const {
    parsing = GetDisplayNameOf(relative, dntForParsing);
    normal = GetDisplayNameOf(relative, dntNormal);
}

bool TShellFolder::EnumObjectsWithFacts(std::uint32_t flags, std::vector<TPidl>& items,
                                        std::vector<TItemFacts>& facts) const {
    const bool listed = EnumObjects(flags, items);
    facts.assign(items.size(), TItemFacts{});
    return listed;
}

int TShellFolder::CompareIDs(PCItemIDList first, PCItemIDList second) const {
    if (!first || !second)
        return first == second ? 0 : (first ? 1 : -1);
    const std::uint8_t* a = ItemBytes(first);
    const std::uint8_t* b = ItemBytes(second);
    for (;;) {
        std::uint16_t sa = ItemSizeField(reinterpret_cast<PCItemIDList>(a));
        std::uint16_t sb = ItemSizeField(reinterpret_cast<PCItemIDList>(b));
        if (sa == 0 || sb == 0)
            return (sa == 0 ? 0 : 1) - (sb == 0 ? 0 : 1); // the shorter list first
        std::size_t da = sa - 2u, db = sb - 2u;
        int c = std::memcmp(a + 2, b + 2, std::min(da, db));
        if (c != 0)
            return c < 0 ? -1 : 1;
        if (da != db)
            return da < db ? -1 : 1;
        a += sa;
        b += sb;
    }
}

int TShellFolder::ItemCount(PCItemIDList list) {
    if (!list)
        return 0;
    int count = 0;
    const std::uint8_t* p = ItemBytes(list);
    while (std::uint16_t cb = ItemSizeField(reinterpret_cast<PCItemIDList>(p))) {
        ++count;
        p += cb;
    }
    return count;
}

TPidl TShellFolder::Join(PCItemIDList first, PCItemIDList second) {
    auto itemsSize = [](PCItemIDList list) {
        std::size_t size = 0;
        while (std::uint16_t cb =
                   ItemSizeField(reinterpret_cast<PCItemIDList>(ItemBytes(list) + size)))
            size += cb;
        return size;
    };
    std::size_t a = itemsSize(first), b = itemsSize(second);
    TPidl joined(ItemIdAlloc(a + b + 2));
    if (joined) {
        std::memcpy(ItemBytes(joined.Get()), ItemBytes(first), a);
        std::memcpy(ItemBytes(joined.Get()) + a, ItemBytes(second), b);
    }
    return joined;
}

TPidl TShellFolder::FirstItem(PCItemIDList list) {
    std::uint16_t cb = ItemSizeField(list);
    if (cb < 2)
        return {};
    return TPidl::FromItemData(ItemBytes(list) + 2, cb - 2u);
}

std::unique_ptr<TShellFolder> TShellFolder::ParentOf(PCItemIDList relative,
                                                     PCItemIDList& last) const {
    // Copy all items but the last into a list of their own and bind to it.
    const std::uint8_t* start = ItemBytes(relative);
    const std::uint8_t* p = start;
    const std::uint8_t* lastItem = nullptr;
    while (std::uint16_t cb = ItemSizeField(reinterpret_cast<PCItemIDList>(p))) {
        lastItem = p;
        p += cb;
    }
    if (!lastItem || lastItem == start)
        return nullptr;
    std::size_t parentSize = static_cast<std::size_t>(lastItem - start);
    TPidl parent(ItemIdAlloc(parentSize + 2));
    if (!parent)
        return nullptr;
    std::memcpy(ItemBytes(parent.Get()), start, parentSize);
    last = reinterpret_cast<PCItemIDList>(lastItem);
    return BindToObject(parent.Get());
}

std::unique_ptr<TShellFolder> TShellFolder::BindRest(std::unique_ptr<TShellFolder> child,
                                                     PCItemIDList relative) {
    if (!child)
        return nullptr;
    std::uint16_t cb = ItemSizeField(relative);
    PCItemIDList rest = reinterpret_cast<PCItemIDList>(ItemBytes(relative) + cb);
    if (ItemSizeField(rest) == 0)
        return child;
    return child->BindToObject(rest);
}
