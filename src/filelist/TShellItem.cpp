#include "TShellItem.h"

#include <bit>
#include <cstring>

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
    const uint64_t oldMask = Texts != nullptr ? MaskOf(Texts.get()) : 0;
    if (text.isEmpty() && (oldMask >> n & 1) == 0)
        return; // an empty value where there was none
    QStringView view(text);
    SetValues(uint64_t{1} << n, &view);
}

void TShellItem::SetValues(uint64_t columns, const QStringView* texts) {
    columns &= ((uint64_t{1} << (ValueCount + 1)) - 1) & ~uint64_t{1};
    // The block is built anew, once for all the values given.
    const uint64_t oldMask = Texts != nullptr ? MaskOf(Texts.get()) : 0;
    uint64_t mask = oldMask & ~columns;
    QStringView values[ValueCount + 1];
    size_t length = 0;
    int count = 0;
    size_t given = 0;
    for (int column = 1; column <= ValueCount; ++column) {
        const uint64_t bit = uint64_t{1} << column;
        QStringView value;
        if ((columns & bit) != 0)
            value = texts[given++];
        else if ((oldMask & bit) != 0)
            value = ValueView(column);
        else
            continue;
        if ((columns & bit) != 0 && value.isEmpty())
            continue;
        mask |= bit;
        values[count++] = value;
        length += static_cast<size_t>(value.size());
    }
    if (mask == 0) {
        Texts.reset();
        return;
    }
    const size_t header = MaskUnits + static_cast<size_t>(count) * EndUnits;
    auto block = std::make_unique_for_overwrite<char16_t[]>(header + length);
    std::memcpy(block.get(), &mask, sizeof mask);
    uint32_t end = 0;
    for (int i = 0; i < count; ++i) {
        const QStringView value = values[i];
        if (!value.isEmpty())
            std::memcpy(block.get() + header + end, value.utf16(),
                        static_cast<size_t>(value.size()) * sizeof(char16_t));
        end += static_cast<uint32_t>(value.size());
        std::memcpy(block.get() + MaskUnits + static_cast<size_t>(i) * EndUnits, &end, sizeof end);
    }
    Texts = std::move(block);
}

uint64_t TShellItem::ValueColumns() const {
    return Texts != nullptr ? MaskOf(Texts.get()) : 0;
}

void TShellItem::ReplaceValues(uint64_t columns, const uint32_t* ends, const char16_t* units) {
    columns &= ((uint64_t{1} << (ValueCount + 1)) - 1) & ~uint64_t{1};
    const int count = std::popcount(columns);
    if (count == 0) {
        Texts.reset();
        return;
    }
    const size_t header = MaskUnits + static_cast<size_t>(count) * EndUnits;
    const size_t length = ends[count - 1];
    auto block = std::make_unique_for_overwrite<char16_t[]>(header + length);
    std::memcpy(block.get(), &columns, sizeof columns);
    std::memcpy(block.get() + MaskUnits, ends, static_cast<size_t>(count) * sizeof(uint32_t));
    std::memcpy(block.get() + header, units, length * sizeof(char16_t));
    Texts = std::move(block);
}

int TShellItem::ValueViews(uint64_t columns, QStringView* texts) const {
    columns &= ((uint64_t{1} << (ValueCount + 1)) - 1) & ~uint64_t{1};
    const char16_t* block = Texts.get();
    const uint64_t mask = block != nullptr ? MaskOf(block) : 0;
    const char16_t* units =
        block != nullptr ? block + MaskUnits + static_cast<size_t>(std::popcount(mask)) * EndUnits
                         : nullptr;
    int count = 0;
    int index = 0; // of the next text of the block
    uint32_t begin = 0;
    // Only the columns asked for or holding a text are visited, in order.
    for (uint64_t left = (mask | columns); left != 0; left &= left - 1) {
        const uint64_t bit = left & (~left + 1);
        QStringView text;
        if ((mask & bit) != 0) {
            const uint32_t end = EndOf(block, index++);
            text = QStringView(units + begin, static_cast<qsizetype>(end - begin));
            begin = end;
        }
        if ((columns & bit) != 0)
            texts[count++] = text;
    }
    return count;
}
