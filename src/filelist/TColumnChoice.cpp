#include "TColumnChoice.h"

#include "TProfileFile.h"

#include <QList>
#include <QPair>

QString TColumnChoice::CountText(int ticked) {
    const QString count = ticked == 0 ? QStringLiteral("None") : QString::number(ticked);
    return count + QStringLiteral(" Selected");
}

int TColumnChoice::CountTicked(const TTicks& ticks) {
    int n = 0;
    for (bool tick : ticks)
        n += tick ? 1 : 0;
    return n;
}

TColumnChoice::TTicks TColumnChoice::TicksOf(const std::vector<TListColumn>& columns) {
    TTicks ticks{};
    for (size_t i = 3; i < columns.size(); ++i) {
        const int number = columns[i].Number;
        if (number >= 1 && number <= Count)
            ticks[size_t(number - 1)] = true;
    }
    return ticks;
}

std::vector<TListColumn> TColumnChoice::Rebuilt(const std::vector<TListColumn>& columns,
                                                const TTicks& ticks) {
    std::vector<TListColumn> result;
    for (size_t i = 0; i < columns.size() && i < 3; ++i)
        result.push_back(columns[i]);
    for (int n = 1; n <= Count; ++n) {
        if (!ticks[size_t(n - 1)])
            continue;
        TListColumn column{n, TListColumns::CaptionOf(n), TListColumns::ExtendedWidth};
        for (size_t i = 3; i < columns.size(); ++i) {
            // A column shrunk to nothing comes back at its default width when ticked.
            if (columns[i].Number == n && columns[i].Width > 0) {
                column.Width = columns[i].Width;
                break;
            }
        }
        result.push_back(column);
    }
    return result;
}

bool TColumnChoice::WriteSettings(TProfileFile& settings, const TTicks& ticks) {
    QList<QPair<QString, QString>> entries;
    for (int n = 1; n <= Count; ++n) {
        if (ticks[size_t(n - 1)])
            entries.append({QString::number(n), TListColumns::CaptionOf(n)});
    }
    // One replacement of the whole section: a crash leaves the old or the new choice.
    return settings.WriteSection(TListColumns::ColumnsSection(), entries);
}
