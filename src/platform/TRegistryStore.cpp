#include "TRegistryStore.h"

#include "TFileText.h"
#include "TSettingsLocation.h"

#include <QList>
#include <QStringDecoder>

namespace {

const QString RootName = QStringLiteral("HKEY_CURRENT_USER");

struct TValue {
    QString Name; // "" for the default value
    bool IsString = false;
    QString Text; // the string, when IsString
    QString Raw;  // the data as written in the file otherwise ("dword:00000001", "hex:...")
};

struct TKey {
    QString Path;    // as written between the brackets
    QString Compare; // normalised for lookups
    QList<TValue> Values;
};

// "Software\X" / "\Software\X" / "HKCU\Software\X" -> "HKEY_CURRENT_USER\SOFTWARE\X"
// (folded to upper case, separators single, no trailing one).
QString Normalise(const QString& path, bool relativeToUser) {
    QStringList parts;
    for (const QString& part : path.split(QLatin1Char('\\'), Qt::SkipEmptyParts))
        parts.append(part.trimmed());
    if (!parts.isEmpty() && parts.first().compare(QLatin1String("HKCU"), Qt::CaseInsensitive) == 0)
        parts.first() = RootName;
    const bool hasRoot =
        !parts.isEmpty() && parts.first().compare(RootName, Qt::CaseInsensitive) == 0;
    if (relativeToUser && !hasRoot)
        parts.prepend(RootName);
    return parts.join(QLatin1Char('\\')).toUpper();
}

QString DecodeFile(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE")) {
        auto decode = QStringDecoder(QStringDecoder::Utf16LE);
        return decode(bytes.mid(2));
    }
    if (bytes.startsWith("\xFE\xFF")) {
        auto decode = QStringDecoder(QStringDecoder::Utf16BE);
        return decode(bytes.mid(2));
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    return QString::fromUtf8(bytes);
}

// Reads a double-quoted text with the escapes \\ and \" starting at text[at] == '"';
// `at` ends behind the closing quote. False when the quote is not closed.
bool ReadQuoted(const QString& text, qsizetype& at, QString& out) {
    out.clear();
    for (++at; at < text.size(); ++at) {
        const QChar c = text[at];
        if (c == QLatin1Char('\\') && at + 1 < text.size()) {
            out += text[++at];
        } else if (c == QLatin1Char('"')) {
            ++at;
            return true;
        } else {
            out += c;
        }
    }
    return false;
}

QString Quote(const QString& text) {
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            out += QLatin1Char('\\');
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            out += QLatin1Char(' '); // a .reg string cannot span lines
        else
            out += c;
    }
    return out + QLatin1Char('"');
}

// Parses the file into keys in file order. Keys deleted with "[-key]" and values
// deleted with "=-" are dropped.
QList<TKey> Load(const QString& path) {
    QString text = DecodeFile(TFileText::ReadAll(path));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList raw = text.split(QLatin1Char('\n'));

    // Join continuation lines: binary data ends a line with "\" (string values and
    // key headers end with a quote or a bracket and never continue).
    QStringList lines;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        QString line = raw[i].trimmed();
        while (line.endsWith(QLatin1Char('\\')) && i + 1 < raw.size()) {
            line.chop(1);
            line += raw[++i].trimmed();
        }
        lines.append(line);
    }

    QList<TKey> keys;
    TKey* current = nullptr;
    bool skipping = false;
    for (const QString& line : lines) {
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.lastIndexOf(QLatin1Char(']'));
            if (close < 0)
                continue;
            QString keyPath = line.mid(1, close - 1).trimmed();
            skipping = keyPath.startsWith(QLatin1Char('-'));
            current = nullptr;
            if (skipping)
                continue;
            const QString compare = Normalise(keyPath, false);
            for (TKey& key : keys)
                if (key.Compare == compare)
                    current = &key;
            if (current == nullptr) {
                keys.append({keyPath, compare, {}});
                current = &keys.last();
            }
            continue;
        }
        if (current == nullptr || skipping)
            continue;
        TValue value;
        qsizetype at = 0;
        if (line.startsWith(QLatin1Char('@'))) {
            at = 1;
        } else if (line.startsWith(QLatin1Char('"'))) {
            if (!ReadQuoted(line, at, value.Name))
                continue;
        } else {
            continue;
        }
        while (at < line.size() && line[at].isSpace())
            ++at;
        if (at >= line.size() || line[at] != QLatin1Char('='))
            continue;
        ++at;
        while (at < line.size() && line[at].isSpace())
            ++at;
        const QString data = line.mid(at);
        if (data == QLatin1String("-")) {
            current->Values.removeIf([&](const TValue& v) {
                return v.Name.compare(value.Name, Qt::CaseInsensitive) == 0;
            });
            continue;
        }
        if (data.startsWith(QLatin1Char('"'))) {
            qsizetype q = at;
            if (!ReadQuoted(line, q, value.Text))
                continue;
            value.IsString = true;
        } else {
            value.Raw = data;
        }
        bool replaced = false;
        for (TValue& existing : current->Values)
            if (existing.Name.compare(value.Name, Qt::CaseInsensitive) == 0) {
                existing = value;
                replaced = true;
            }
        if (!replaced)
            current->Values.append(value);
    }
    return keys;
}

bool Save(const QString& path, const QList<TKey>& keys) {
    QString out = QStringLiteral("Windows Registry Editor Version 5.00\n");
    for (const TKey& key : keys) {
        out += QStringLiteral("\n[") + key.Path + QStringLiteral("]\n");
        for (const TValue& value : key.Values) {
            out += value.Name.isEmpty() ? QStringLiteral("@") : Quote(value.Name);
            out += QLatin1Char('=');
            out += value.IsString ? Quote(value.Text) : value.Raw;
            out += QLatin1Char('\n');
        }
    }
    return TFileText::WriteAtomically(path, out.toUtf8());
}

const TKey* Find(const QList<TKey>& keys, const QString& keyPath) {
    const QString compare = Normalise(keyPath, true);
    for (const TKey& key : keys)
        if (key.Compare == compare)
            return &key;
    return nullptr;
}

} // namespace

TRegistryStore::TRegistryStore() : Path(DefaultFilePath()) {}

TRegistryStore::TRegistryStore(const QString& fileName) : Path(fileName) {}

QString TRegistryStore::DefaultFilePath() {
    return TSettingsLocation::ConfigDir() + QStringLiteral("/registry.reg");
}

QString TRegistryStore::ReadString(const QString& keyPath, const QString& name) const {
    const QList<TKey> keys = Load(Path);
    const TKey* key = Find(keys, keyPath);
    if (key == nullptr)
        return {};
    for (const TValue& value : key->Values)
        if (value.Name.compare(name, Qt::CaseInsensitive) == 0)
            return value.IsString ? value.Text : QString();
    return {};
}

bool TRegistryStore::WriteString(const QString& keyPath, const QString& name,
                                 const QString& value) {
    QList<TKey> keys = Load(Path);
    TKey* key = const_cast<TKey*>(Find(keys, keyPath));
    if (key == nullptr) {
        const QString compare = Normalise(keyPath, true);
        // Written with the caller's spelling below the root.
        QStringList parts;
        for (const QString& part : keyPath.split(QLatin1Char('\\'), Qt::SkipEmptyParts))
            parts.append(part.trimmed());
        if (!parts.isEmpty() &&
            (parts.first().compare(RootName, Qt::CaseInsensitive) == 0 ||
             parts.first().compare(QLatin1String("HKCU"), Qt::CaseInsensitive) == 0))
            parts.removeFirst();
        parts.prepend(RootName);
        keys.append({parts.join(QLatin1Char('\\')), compare, {}});
        key = &keys.last();
    }
    TValue written;
    written.Name = name;
    written.IsString = true;
    written.Text = value;
    bool replaced = false;
    for (TValue& existing : key->Values)
        if (existing.Name.compare(name, Qt::CaseInsensitive) == 0) {
            written.Name = existing.Name;
            existing = written;
            replaced = true;
        }
    if (!replaced)
        key->Values.append(written);
    return Save(Path, keys);
}

bool TRegistryStore::KeyExists(const QString& keyPath) const {
    const QString compare = Normalise(keyPath, true);
    const QString below = compare + QLatin1Char('\\');
    for (const TKey& key : Load(Path))
        if (key.Compare == compare || key.Compare.startsWith(below))
            return true;
    return false;
}

QStringList TRegistryStore::ValueNames(const QString& keyPath) const {
    const QList<TKey> keys = Load(Path);
    QStringList names;
    if (const TKey* key = Find(keys, keyPath))
        for (const TValue& value : key->Values)
            names.append(value.Name);
    return names;
}
