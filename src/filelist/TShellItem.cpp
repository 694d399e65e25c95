#include "TShellItem.h"

#include <bit>
#include <cstring>
#include <vector>

namespace {

// Units of the block (char16_t) taken by the mask and by one end offset.
constexpr size_t MaskUnits = sizeof(uint64_t) / sizeof(char16_t);
constexpr size_t EndUnits = sizeof(uint32_t) / sizeof(char16_t);
static_assert(TShellItem::ValueCount < 64, "one mask bit per column");

uint64_t MaskOf(const char16_t* block) {
    uint64_t mask = 0;
    std::memcpy(&mask, block, sizeof mask);
    return mask;
}

uint32_t EndOf(const char16_t* block, int index) {
    uint32_t end = 0;
    std::memcpy(&end, block + MaskUnits + static_cast<size_t>(index) * EndUnits, sizeof end);
    return end;
}

} // namespace

QStringView TShellItem::ValueView(int n) const {
    if (Texts == nullptr || n < 1 || n > ValueCount)
        return {};
    const char16_t* block = Texts.get();
    const uint64_t mask = MaskOf(block);
    if ((mask >> n & 1) == 0)
        return {};
    const int index = std::popcount(mask & ((uint64_t{1} << n) - 1));
    const char16_t* texts = block + MaskUnits + static_cast<size_t>(std::popcount(mask)) * EndUnits;
    const uint32_t begin = index == 0 ? 0 : EndOf(block, index - 1);
    return QStringView(texts + begin, static_cast<qsizetype>(EndOf(block, index) - begin));
}

void TShellItem::SetValue(int n, const QString& text) {
    if (n < 1 || n > ValueCount)
        return;
    // The block is built anew: values are set once per read, a handful per entry.
    const uint64_t oldMask = Texts != nullptr ? MaskOf(Texts.get()) : 0;
    const uint64_t bit = uint64_t{1} << n;
    const uint64_t mask = text.isEmpty() ? oldMask & ~bit : oldMask | bit;
    if (mask == oldMask && text.isEmpty())
        return; // an empty value where there was none
    if (mask == 0) {
        Texts.reset();
        return;
    }
    std::vector<QStringView> values;
    values.reserve(static_cast<size_t>(std::popcount(mask)));
    size_t length = 0;
    for (int column = 1; column <= ValueCount; ++column) {
        if ((mask >> column & 1) == 0)
            continue;
        values.push_back(column == n ? QStringView(text) : ValueView(column));
        length += static_cast<size_t>(values.back().size());
    }
    const size_t header = MaskUnits + values.size() * EndUnits;
    auto block = std::make_unique_for_overwrite<char16_t[]>(header + length);
    std::memcpy(block.get(), &mask, sizeof mask);
    uint32_t end = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        const QStringView value = values[i];
        if (!value.isEmpty())
            std::memcpy(block.get() + header + end, value.utf16(),
                        static_cast<size_t>(value.size()) * sizeof(char16_t));
        end += static_cast<uint32_t>(value.size());
        std::memcpy(block.get() + MaskUnits + i * EndUnits, &end, sizeof end);
    }
    Texts = std::move(block);
}
