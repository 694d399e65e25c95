#include "TListColumns.h"

#include "TLoudnessColumns.h"
#include "TProfileFile.h"
#include "TagCatalogue.h"

#include <algorithm>

std::vector<TListColumn> TListColumns::Fixed() {
    return {{0, QStringLiteral("Name"), NameWidth},
            {0, QStringLiteral("Size"), SizeWidth},
            {0, QStringLiteral("Modified"), ModifiedWidth}};
}

QString TListColumns::CaptionOf(int number) {
    if (const TColumnInfo* info = TTagCatalogue::FindColumn(number))
        return info->Caption();
    return TLoudnessColumns::Caption(number);
}

std::vector<TListColumn> TListColumns::FromSettings(const TProfileFile& settings) {
    std::vector<TListColumn> columns = Fixed();
    const QString section = ColumnsSection();
    for (const QString& key : settings.ReadSectionKeys(section)) {
        const QString digits = key.trimmed();
        const bool allDigits =
            !digits.isEmpty() && std::all_of(digits.begin(), digits.end(),
                                             [](QChar c) { return c >= u'0' && c <= u'9'; });
        bool ok = false;
        const int number = allDigits ? digits.toInt(&ok) : 0;
        const QString known = ok ? CaptionOf(number) : QString();
        if (known.isEmpty())
            continue;
        if (std::any_of(columns.begin(), columns.end(),
                        [number](const TListColumn& c) { return c.Number == number; }))
            continue;
        QString caption = settings.ReadString(section, key, QString());
        if (caption.isEmpty())
            caption = known;
        columns.push_back({number, caption, ExtendedWidth});
    }

    const QString widths = WidthsSection();
    const int count = settings.ReadInteger(widths, QStringLiteral("Count"), 0);
    const int known = std::min<int>(count, static_cast<int>(columns.size()));
    for (int i = 0; i < known; ++i) {
        const int width = settings.ReadInteger(widths, QStringLiteral("Width%1").arg(i), -1);
        if (width >= 0)
            columns[static_cast<size_t>(i)].Width = width;
    }
    return columns;
}

bool TListColumns::WriteWidths(TProfileFile& settings, const std::vector<TListColumn>& columns) {
    QList<QPair<QString, QString>> entries;
    entries.append({QStringLiteral("Count"), QString::number(columns.size())});
    for (size_t i = 0; i < columns.size(); ++i)
        entries.append({QStringLiteral("Width%1").arg(i), QString::number(columns[i].Width)});
    return settings.WriteSection(WidthsSection(), entries);
}
