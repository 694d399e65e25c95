#include "WavTags.h"

#include <algorithm>

namespace riffkit {

const TWavTags::TItem* TWavTags::Find(std::string_view key) const {
    if (key.size() == 4) {
        const std::uint32_t wanted = KeyCode(key);
        for (const auto& item : Items)
            if (item.Key.size() == 4 && KeyCode(item.Key) == wanted)
                return &item;
        return nullptr;
    }
    for (const auto& item : Items)
        if (item.Key == key)
            return &item;
    return nullptr;
}

std::string TWavTags::Get(std::string_view key) const {
    const TItem* item = Find(key);
    return item ? item->Text : std::string();
}

void TWavTags::Set(std::string_view key, std::string text) {
    for (auto& item : Items) {
        if (item.Key == key) {
            if (item.Text != text) {
                item.Text = std::move(text);
                item.Raw.reset();
            }
            return;
        }
    }
    Items.push_back({std::string(key), std::move(text), std::nullopt});
}

void TWavTags::Remove(std::string_view key) {
    std::erase_if(Items, [&](const TItem& item) { return item.Key == key; });
}

void TWavTags::SetTitle(std::string text) {
    if (HasTitle && Title == text)
        return;
    HasTitle = true;
    Title = std::move(text);
    TitleRaw.reset();
}

bool TWavTags::SameValues(const TWavTags& other) const {
    if (Title != other.Title || Cart != other.Cart || Bext != other.Bext)
        return false;
    for (const auto& item : Items)
        if (other.Get(item.Key) != Get(item.Key))
            return false;
    for (const auto& item : other.Items)
        if (other.Get(item.Key) != Get(item.Key))
            return false;
    return true;
}

} // namespace riffkit
