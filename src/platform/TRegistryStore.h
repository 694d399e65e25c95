#pragma once

#include <QString>
#include <QStringList>

// The stand-in for the registry under HKEY_CURRENT_USER: a text file in the
// format that regedit exports ("Windows Registry Editor Version 5.00"), so that
// values exported from a Windows station can be dropped in.
//
// Key paths are given as on Windows relative to HKEY_CURRENT_USER
// ("Software\QAV\Cuemark"); a leading "\" and a leading "HKEY_CURRENT_USER\" or
// "HKCU\" are tolerated, and paths and value names are compared without regard
// to letter case. The empty value name is the key's default value ("@").
// Only string values are read; values of other types in the file are kept
// unchanged when the file is rewritten but read as the empty text.
//
// The file is read on every call (UTF-8, or UTF-16LE with a byte order mark as
// regedit writes it) and every write rewrites it as UTF-8 through a temporary
// file and rename. A missing file is an empty registry.
class TRegistryStore {
public:
    // The store at DefaultFilePath().
    TRegistryStore();
    explicit TRegistryStore(const QString& fileName);

    // $XDG_CONFIG_HOME/cuemark/registry.reg
    static QString DefaultFilePath();

    const QString& FileName() const { return Path; }

    // The string value `name` of the key; "" when the key, the value or the file
    // is missing or the value is not a string.
    QString ReadString(const QString& keyPath, const QString& name) const;
    // Set a string value, creating the key (and the file and folder) when missing.
    // False when the file could not be written.
    bool WriteString(const QString& keyPath, const QString& name, const QString& value);
    bool KeyExists(const QString& keyPath) const;
    // Names of the key's values in file order ("" for the default value).
    QStringList ValueNames(const QString& keyPath) const;

private:
    QString Path;
};
