#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <array>
#include <cstdint>

// Reads the version block compiled into a binary (the ".cuemark_version" section of
// an ELF file: "Key=Value" lines after a marker line) from the file on disk, for
// the About page. A file without the block, or one that is not a sound 64-bit ELF
// file, gives empty values.
class TFileVersion {
public:
    // The one translation a block carries: US English, Unicode (language in the
    // upper 16 bits, code page in the lower).
    static constexpr uint32_t BlockTranslation = 0x040904B0;

    // True when the file holds a version block; the block stays in the object. On
    // any failure the block is dropped and the result is false.
    bool ReadVersionInfo(const QString& modulePath);

    // The value stored under `name` ("FileDescription", "FileVersion"); the empty
    // text when there is no block, no such value, or `translation` (0 = the
    // default) is not the block's.
    QString GetVersionString(const QString& name, uint32_t translation = 0) const;

    // The four numbers of the fixed file version, most significant first; all 0
    // when there is no block.
    std::array<uint16_t, 4> GetFixedFileVersion() const;

    // Language and code page of the block; 0 when there is no block.
    uint32_t DefaultTranslation() const { return Loaded ? BlockTranslation : 0; }
    bool HasBlock() const { return Loaded; }

    // The section contents of a block as read from a file, for tests and tools:
    // true when `block` is a well-formed version block.
    bool ParseBlock(const QByteArray& block);

private:
    void Drop();

    bool Loaded = false;
    QMap<QString, QString> Values;
};
