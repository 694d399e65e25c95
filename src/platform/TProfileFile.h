#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// A settings file with the semantics of Windows private profile (INI) files:
// "[section]" headers and "key=value" lines, sections and keys found without
// regard to letter case, file order kept. Nothing is cached: every read looks at
// the file on disk, and every write goes straight to disk through a temporary
// file in the same folder that is renamed over the old one, so a killed process
// leaves either the old or the new file. A missing file reads as empty and is
// created by the first write.
//
// Several writes can be made one batch (BeginUpdate ... EndUpdate): the file is read once,
// reads and writes inside the batch see its pending state, and EndUpdate commits all of it
// in one replace, so the batch lands whole or not at all.
class TProfileFile {
public:
    explicit TProfileFile(const QString& fileName);
    // A batch still open is dropped: nothing of it is written.
    ~TProfileFile();
    TProfileFile(const TProfileFile&) = delete;
    TProfileFile& operator=(const TProfileFile&) = delete;

    const QString& FileName() const { return Path; }

    // The value of section/key, trimmed of surrounding blanks and of one pair of
    // enclosing double quotes; `defaultValue` when the key is missing.
    QString ReadString(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    // Decimal integer value (optional sign); missing or non-numeric text gives
    // `defaultValue`.
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;

    // Set a value, adding the section at the end of the file and the key at the
    // end of its section when missing. False when the file could not be written.
    bool WriteString(const QString& section, const QString& key, const QString& value);
    bool WriteInteger(const QString& section, const QString& key, int value);

    // Remove a section with all its keys (nothing happens when it is missing).
    bool EraseSection(const QString& section);
    // Replace the whole section by `entries` (key, value) in one write: for lists
    // such as "Categories" that are erased and written again, this costs one file
    // replacement instead of one per key, and a crash leaves the old or the new list.
    bool WriteSection(const QString& section, const QList<QPair<QString, QString>>& entries);
    // Remove one key.
    bool DeleteKey(const QString& section, const QString& key);

    // Keys of a section in file order (a key present twice is listed once).
    QStringList ReadSectionKeys(const QString& section) const;
    // Section names in file order.
    QStringList ReadSections() const;
    bool SectionExists(const QString& section) const;
    bool KeyExists(const QString& section, const QString& key) const;

    // Starts a batch of writes (batches nest; the outermost one commits).
    void BeginUpdate();
    // Commits the batch in one replace of the file. False when it could not be written
    // (the file then keeps its old contents). Without an open batch, true.
    bool EndUpdate();
    bool InUpdate() const { return UpdateDepth > 0; }

private:
    // The file as lines: the pending lines inside a batch, else the file on disk.
    QStringList Lines() const;
    // Replaces the file by `lines`, or keeps them pending inside a batch.
    bool Save(const QStringList& lines);

    QString Path;
    int UpdateDepth = 0;
    QStringList Pending;
};
