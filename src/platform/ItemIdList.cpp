#include "ItemIdList.h"

#include <cstdlib>

PItemIDList ItemIdAlloc(std::size_t size) {
    if (size == 0)
        return nullptr;
    return static_cast<PItemIDList>(std::calloc(1, size));
}

void ItemIdFree(PItemIDList list) {
    std::free(list);
}
