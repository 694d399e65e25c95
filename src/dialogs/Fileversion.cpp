#include "Fileversion.h"

#include <QFile>
#include <QStringList>

#include <elf.h>

#include <cstring>
#include <optional>
#include <vector>

namespace {

const char* const SectionName = ".cuemark_version";
const QByteArray Marker = "CUEMARK-VERSION-BLOCK\n";
// Generous bounds for what is read from an untrusted file.
constexpr quint64 MaxBlockSize = 64 * 1024;
constexpr quint64 MaxNameTableSize = 16 * 1024 * 1024;

// Reads `size` bytes at `offset`, only when they lie wholly inside the file.
std::optional<QByteArray> ReadRange(QFile& file, quint64 offset, quint64 size) {
    const quint64 fileSize = static_cast<quint64>(file.size());
    if (offset > fileSize || size > fileSize - offset)
        return std::nullopt;
    if (!file.seek(static_cast<qint64>(offset)))
        return std::nullopt;
    QByteArray data = file.read(static_cast<qint64>(size));
    if (static_cast<quint64>(data.size()) != size)
        return std::nullopt;
    return data;
}

template <typename T> T ReadStruct(const QByteArray& data, quint64 offset = 0) {
    T value;
    std::memcpy(&value, data.constData() + offset, sizeof(T));
    return value;
}

// The contents of the version section of a little-endian 64-bit ELF file.
std::optional<QByteArray> ReadVersionSection(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;

    const auto headerBytes = ReadRange(file, 0, sizeof(Elf64_Ehdr));
    if (!headerBytes)
        return std::nullopt;
    const auto header = ReadStruct<Elf64_Ehdr>(*headerBytes);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_ident[EI_DATA] != ELFDATA2LSB)
        return std::nullopt;
    if (header.e_shoff == 0 || header.e_shentsize != sizeof(Elf64_Shdr))
        return std::nullopt;

    // Section counts past the 16-bit fields live in the first section header.
    quint64 count = header.e_shnum;
    quint64 namesIndex = header.e_shstrndx;
    if (count == 0 || namesIndex == SHN_XINDEX) {
        const auto first = ReadRange(file, header.e_shoff, sizeof(Elf64_Shdr));
        if (!first)
            return std::nullopt;
        const auto section0 = ReadStruct<Elf64_Shdr>(*first);
        if (count == 0)
            count = section0.sh_size;
        if (namesIndex == SHN_XINDEX)
            namesIndex = section0.sh_link;
    }
    if (count == 0 || namesIndex >= count || count > static_cast<quint64>(file.size()))
        return std::nullopt;
    const auto table = ReadRange(file, header.e_shoff, count * sizeof(Elf64_Shdr));
    if (!table)
        return std::nullopt;
    auto sectionAt = [&](quint64 i) {
        return ReadStruct<Elf64_Shdr>(*table, i * sizeof(Elf64_Shdr));
    };

    const Elf64_Shdr namesHeader = sectionAt(namesIndex);
    if (namesHeader.sh_type == SHT_NOBITS || namesHeader.sh_size > MaxNameTableSize)
        return std::nullopt;
    const auto names = ReadRange(file, namesHeader.sh_offset, namesHeader.sh_size);
    if (!names)
        return std::nullopt;

    const quint64 wantedLength = std::strlen(SectionName) + 1; // with its NUL
    for (quint64 i = 0; i < count; ++i) {
        const Elf64_Shdr section = sectionAt(i);
        const quint64 nameOffset = section.sh_name;
        if (nameOffset >= static_cast<quint64>(names->size()) ||
            static_cast<quint64>(names->size()) - nameOffset < wantedLength ||
            std::memcmp(names->constData() + nameOffset, SectionName, wantedLength) != 0)
            continue;
        if (section.sh_type == SHT_NOBITS || section.sh_size > MaxBlockSize)
            return std::nullopt;
        return ReadRange(file, section.sh_offset, section.sh_size);
    }
    return std::nullopt;
}

} // namespace

bool TFileVersion::ReadVersionInfo(const QString& modulePath) {
    Drop();
    const auto section = ReadVersionSection(modulePath);
    return section && ParseBlock(*section);
}

bool TFileVersion::ParseBlock(const QByteArray& block) {
    Drop();
    // The block ends at its NUL; a section may hold padding or further blocks after it.
    const int end = block.indexOf('\0');
    const QByteArray text = end < 0 ? block : block.left(end);
    if (!text.startsWith(Marker))
        return false;
    const QStringList lines = QString::fromUtf8(text.mid(Marker.size())).split('\n');
    for (const QString& line : lines) {
        const int equals = line.indexOf('=');
        if (equals <= 0)
            continue;
        const QString key = line.left(equals);
        if (!Values.contains(key))
            Values.insert(key, line.mid(equals + 1));
    }
    Loaded = true;
    return true;
}

QString TFileVersion::GetVersionString(const QString& name, uint32_t translation) const {
    if (!Loaded || (translation != 0 && translation != BlockTranslation))
        return {};
    return Values.value(name);
}

std::array<uint16_t, 4> TFileVersion::GetFixedFileVersion() const {
    std::array<uint16_t, 4> parts{0, 0, 0, 0};
    if (!Loaded)
        return parts;
    const QStringList numbers = Values.value("FixedVersion").split(',');
    if (numbers.size() != 4)
        return parts;
    std::array<uint16_t, 4> result{};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const uint value = numbers[i].trimmed().toUInt(&ok);
        if (!ok || value > 0xFFFF)
            return parts;
        result[i] = static_cast<uint16_t>(value);
    }
    return result;
}

void TFileVersion::Drop() {
    Loaded = false;
    Values.clear();
}
