#include "TBroadcastSettings.h"

#include "TProfileFile.h"

#include <QStringList>

namespace {

const QString Section = QStringLiteral("Broadcast");
const QStringList ModeNames = {QStringLiteral("Keep"), QStringLiteral("Always"),
                               QStringLiteral("Never")};
const QStringList ProfileNames = {QStringLiteral("Common"), QStringLiteral("Genesys")};

int IndexOf(const QStringList& names, const QString& text, int fallback) {
    for (int i = 0; i < names.size(); ++i)
        if (names[i].compare(text.trimmed(), Qt::CaseInsensitive) == 0)
            return i;
    return fallback;
}

} // namespace

TBroadcastSettings TBroadcastSettings::Read(const TProfileFile& file) {
    TBroadcastSettings settings;
    settings.Mode =
        IndexOf(ModeNames, file.ReadString(Section, QStringLiteral("Chunks"), {}), Keep);
    settings.Profile =
        IndexOf(ProfileNames, file.ReadString(Section, QStringLiteral("Timers"), {}), Common);
    return settings;
}

bool TBroadcastSettings::Write(TProfileFile& file) const {
    return file.WriteString(Section, QStringLiteral("Chunks"), ModeNames.value(Mode)) &&
           file.WriteString(Section, QStringLiteral("Timers"), ProfileNames.value(Profile));
}
