#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace riffkit {

// A four-byte key as one word, so keys compare without a call per key.
inline std::uint32_t KeyCode(std::string_view fourBytes) {
    std::uint32_t code = 0;
    std::memcpy(&code, fourBytes.data(), 4);
    return code;
}

// The tags of a WAV file: the items of its first LIST/INFO list, its DISP title and the bodies
// of its cart and bext chunks.
// Items read from the file keep their stored bytes, so untouched values are written back
// byte for byte whatever their encoding.
struct TWavTags {
    struct TItem {
        std::string Key;
        std::string Text;               // UTF-8
        std::optional<std::string> Raw; // stored bytes, while unchanged
    };

    std::vector<TItem> Items;
    bool HasInfo = false;  // the file has an INFO list (possibly empty)
    bool HasTitle = false; // the file has a text DISP chunk
    std::string Title;
    std::optional<std::string> TitleRaw;
    // The cart chunk's body, stored byte for byte; nullopt when the file has none.
    std::optional<std::string> Cart;
    // The bext chunk's body, likewise. A commit moves it only when it changed.
    std::optional<std::string> Bext;

    // The first item with the key; nullptr when absent.
    const TItem* Find(std::string_view key) const;
    std::string Get(std::string_view key) const;
    // Changes the first item with the key (appending one when absent).
    void Set(std::string_view key, std::string text);
    // Removes every item with the key, so no later duplicate comes to light.
    void Remove(std::string_view key);
    void SetTitle(std::string text);

    // Same texts for every key and the title, and the same cart and bext; an absent value
    // equals the empty text.
    bool SameValues(const TWavTags& other) const;
};

} // namespace riffkit
