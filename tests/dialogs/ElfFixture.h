#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <elf.h>

#include <cstring>

// A small 64-bit little-endian ELF file built in memory: a null section, the
// section name table and one data section (by default the version block section).
// Tests patch its headers to make damaged files.
struct TElfFixture {
    QByteArray Bytes;

    explicit TElfFixture(const QByteArray& sectionData,
                         const QByteArray& sectionName = ".cuemark_version") {
        const QByteArray names = QByteArray("\0.shstrtab\0", 11) + sectionName + '\0';
        Elf64_Ehdr header{};
        std::memcpy(header.e_ident, ELFMAG, SELFMAG);
        header.e_ident[EI_CLASS] = ELFCLASS64;
        header.e_ident[EI_DATA] = ELFDATA2LSB;
        header.e_ident[EI_VERSION] = EV_CURRENT;
        header.e_type = ET_DYN;
        header.e_machine = EM_X86_64;
        header.e_version = EV_CURRENT;
        header.e_ehsize = sizeof(Elf64_Ehdr);
        header.e_shentsize = sizeof(Elf64_Shdr);
        header.e_shnum = 3;
        header.e_shstrndx = 1;

        const quint64 namesOffset = sizeof(Elf64_Ehdr);
        const quint64 dataOffset = namesOffset + names.size();
        header.e_shoff = dataOffset + sectionData.size();

        Elf64_Shdr sections[3]{};
        sections[1].sh_name = 1;
        sections[1].sh_type = SHT_STRTAB;
        sections[1].sh_offset = namesOffset;
        sections[1].sh_size = names.size();
        sections[2].sh_name = 11;
        sections[2].sh_type = SHT_PROGBITS;
        sections[2].sh_offset = dataOffset;
        sections[2].sh_size = sectionData.size();

        Bytes.append(reinterpret_cast<const char*>(&header), sizeof header);
        Bytes.append(names);
        Bytes.append(sectionData);
        Bytes.append(reinterpret_cast<const char*>(sections), sizeof sections);
    }

    Elf64_Ehdr Header() const {
        Elf64_Ehdr header;
        std::memcpy(&header, Bytes.constData(), sizeof header);
        return header;
    }
    void SetHeader(const Elf64_Ehdr& header) { std::memcpy(Bytes.data(), &header, sizeof header); }
    Elf64_Shdr Section(int i) const {
        Elf64_Shdr section;
        std::memcpy(&section, Bytes.constData() + Header().e_shoff + i * sizeof section,
                    sizeof section);
        return section;
    }
    void SetSection(int i, const Elf64_Shdr& section) {
        std::memcpy(Bytes.data() + Header().e_shoff + i * sizeof section, &section, sizeof section);
    }

    bool Write(const QString& path) const {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(Bytes) == Bytes.size();
    }
};

// A version block as the build compiles it into each binary.
inline QByteArray VersionBlock(const QByteArray& description, const QByteArray& version,
                               const QByteArray& fixed) {
    return "CUEMARK-VERSION-BLOCK\nFileDescription=" + description + "\nFileVersion=" + version +
           "\nFixedVersion=" + fixed + "\n" + QByteArray(1, '\0');
}
