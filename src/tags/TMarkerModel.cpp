#include "TMarkerModel.h"

#include "TagCatalogue.h"

#include <limits>

void TMarkerModel::Reset() {
    IntroMs = 0;
    SegueMs = 0;
    HookStartMs = Unset;
    HookEndMs = Unset;
}

void TMarkerModel::ReadStored(const std::function<QString(const TTagKeyInfo&)>& storedText) {
    Reset();
    const auto read = [&](const char* key, int32_t& point) {
        const TTagKeyInfo* info = TTagCatalogue::FindKey(std::string_view(key));
        if (info == nullptr)
            return;
        const auto value = TTagCatalogue::MarkerFromStored(*info, storedText(*info));
        // A value beyond the signed range cannot be a point in a file we can play; it is
        // treated like any other unreadable marker instead of failing the whole load.
        if (value && *value <= uint32_t(std::numeric_limits<int32_t>::max()))
            point = int32_t(*value);
    };
    read("ISRF", IntroMs);
    read("IMED", SegueMs);
    read("HKST", HookStartMs);
    read("HKEN", HookEndMs);
    if (HookEndMs == 0)
        HookEndMs = Unset;
}
