#include "TProfileFile.h"

#include "TFileText.h"

#include <optional>
#include <utility>

namespace {

// The file as lines, without line ends.
QStringList LoadLines(const QString& path) {
    QString text = QString::fromUtf8(TFileText::ReadAll(path));
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool SaveLines(const QString& path, const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toUtf8();
        bytes += '\n';
    }
    return TFileText::WriteAtomically(path, bytes);
}

bool Same(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Section name of a "[name]" line.
std::optional<QString> SectionOf(const QString& line) {
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
    if (close < 0)
        return std::nullopt;
    return trimmed.mid(1, close - 1).trimmed();
}

// Key of a "key=value" line (comments and other lines have none).
std::optional<QString> KeyOf(const QString& line) {
    const QString trimmed = line.trimmed();
    if (trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#')))
        return std::nullopt;
    const qsizetype equals = trimmed.indexOf(QLatin1Char('='));
    if (equals <= 0)
        return std::nullopt;
    return trimmed.left(equals).trimmed();
}

QString ValueOf(const QString& line) {
    QString value = line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        value = value.mid(1, value.size() - 2);
    return value;
}

// Line range [begin, end) of a section's body; begin is -1 when it is missing.
struct TRange {
    qsizetype Header = -1;
    qsizetype Begin = -1;
    qsizetype End = -1;
};

TRange FindSection(const QStringList& lines, const QString& section) {
    TRange range;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto name = SectionOf(lines[i]);
        if (!name)
            continue;
        if (range.Header >= 0) {
            range.End = i;
            return range;
        }
        if (Same(*name, section)) {
            range.Header = i;
            range.Begin = i + 1;
        }
    }
    if (range.Header >= 0)
        range.End = lines.size();
    return range;
}

qsizetype FindKey(const QStringList& lines, const TRange& range, const QString& key) {
    if (range.Header < 0)
        return -1;
    for (qsizetype i = range.Begin; i < range.End; ++i) {
        const auto name = KeyOf(lines[i]);
        if (name && Same(*name, key))
            return i;
    }
    return -1;
}

// A value must stay on its line.
QString OneLine(QString value) {
    value.replace(QLatin1String("\r\n"), QLatin1String(" "));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return value;
}

} // namespace

TProfileFile::TProfileFile(const QString& fileName) : Path(fileName) {}

TProfileFile::~TProfileFile() = default;

QStringList TProfileFile::Lines() const {
    return UpdateDepth > 0 ? Pending : LoadLines(Path);
}

bool TProfileFile::Save(const QStringList& lines) {
    if (UpdateDepth > 0) {
        Pending = lines;
        return true;
    }
    return SaveLines(Path, lines);
}

void TProfileFile::BeginUpdate() {
    if (UpdateDepth++ == 0)
        Pending = LoadLines(Path);
}

bool TProfileFile::EndUpdate() {
    if (UpdateDepth == 0)
        return true;
    if (--UpdateDepth > 0)
        return true;
    const QStringList lines = std::move(Pending);
    Pending.clear();
    return SaveLines(Path, lines);
}

QString TProfileFile::ReadString(const QString& section, const QString& key,
                                 const QString& defaultValue) const {
    const QStringList lines = Lines();
    const qsizetype at = FindKey(lines, FindSection(lines, section), key);
    return at >= 0 ? ValueOf(lines[at]) : defaultValue;
}

int TProfileFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const {
    bool ok = false;
    const int value = ReadString(section, key, QString()).toInt(&ok, 10);
    return ok ? value : defaultValue;
}

bool TProfileFile::WriteString(const QString& section, const QString& key, const QString& value) {
    QStringList lines = Lines();
    const TRange range = FindSection(lines, section);
    const QString keyName = OneLine(key).trimmed();
    const QString line = keyName + QLatin1Char('=') + OneLine(value);
    if (range.Header < 0) {
        lines.append(QLatin1Char('[') + OneLine(section).trimmed() + QLatin1Char(']'));
        lines.append(line);
        return Save(lines);
    }
    const qsizetype at = FindKey(lines, range, keyName);
    if (at >= 0) {
        lines[at] = *KeyOf(lines[at]) + QLatin1Char('=') + OneLine(value);
        return Save(lines);
    }
    // After the section's last non-blank line, so blank separators stay between sections.
    qsizetype insertAt = range.End;
    while (insertAt > range.Begin && lines[insertAt - 1].trimmed().isEmpty())
        --insertAt;
    lines.insert(insertAt, line);
    return Save(lines);
}

bool TProfileFile::WriteInteger(const QString& section, const QString& key, int value) {
    return WriteString(section, key, QString::number(value));
}

bool TProfileFile::EraseSection(const QString& section) {
    QStringList lines = Lines();
    bool changed = false;
    // A section may appear more than once in a hand-edited file: remove every copy.
    for (TRange range = FindSection(lines, section); range.Header >= 0;
         range = FindSection(lines, section)) {
        lines.erase(lines.begin() + range.Header, lines.begin() + range.End);
        changed = true;
    }
    return changed ? Save(lines) : true;
}

bool TProfileFile::WriteSection(const QString& section,
                                const QList<QPair<QString, QString>>& entries) {
    QStringList lines = Lines();
    QStringList body;
    for (const auto& [key, value] : entries)
        body.append(OneLine(key).trimmed() + QLatin1Char('=') + OneLine(value));
    TRange range = FindSection(lines, section);
    if (range.Header < 0) {
        lines.append(QLatin1Char('[') + OneLine(section).trimmed() + QLatin1Char(']'));
        lines.append(body);
        return Save(lines);
    }
    // Keep the blank lines that separate the section from the next one.
    qsizetype end = range.End;
    while (end > range.Begin && lines[end - 1].trimmed().isEmpty())
        --end;
    lines.erase(lines.begin() + range.Begin, lines.begin() + end);
    for (qsizetype i = 0; i < body.size(); ++i)
        lines.insert(range.Begin + i, body[i]);
    // Later copies of the section (hand-edited files) would shadow nothing but
    // confuse the reader; drop them.
    const qsizetype kept = range.Header;
    for (;;) {
        qsizetype next = -1;
        for (qsizetype i = kept + 1; i < lines.size() && next < 0; ++i) {
            const auto name = SectionOf(lines[i]);
            if (name && name->compare(section, Qt::CaseInsensitive) == 0)
                next = i;
        }
        if (next < 0)
            break;
        qsizetype stop = next + 1;
        while (stop < lines.size() && !SectionOf(lines[stop]))
            ++stop;
        lines.erase(lines.begin() + next, lines.begin() + stop);
    }
    return Save(lines);
}

bool TProfileFile::DeleteKey(const QString& section, const QString& key) {
    QStringList lines = Lines();
    const qsizetype at = FindKey(lines, FindSection(lines, section), key);
    if (at < 0)
        return true;
    lines.removeAt(at);
    return Save(lines);
}

QStringList TProfileFile::ReadSectionKeys(const QString& section) const {
    const QStringList lines = Lines();
    const TRange range = FindSection(lines, section);
    QStringList keys;
    if (range.Header < 0)
        return keys;
    for (qsizetype i = range.Begin; i < range.End; ++i) {
        const auto name = KeyOf(lines[i]);
        if (name && !keys.contains(*name, Qt::CaseInsensitive))
            keys.append(*name);
    }
    return keys;
}

QStringList TProfileFile::ReadSections() const {
    QStringList sections;
    for (const QString& line : Lines()) {
        const auto name = SectionOf(line);
        if (name && !sections.contains(*name, Qt::CaseInsensitive))
            sections.append(*name);
    }
    return sections;
}

bool TProfileFile::SectionExists(const QString& section) const {
    return FindSection(Lines(), section).Header >= 0;
}

bool TProfileFile::KeyExists(const QString& section, const QString& key) const {
    const QStringList lines = Lines();
    return FindKey(lines, FindSection(lines, section), key) >= 0;
}
