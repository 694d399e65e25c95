#include "TEditorValues.h"

#include "TagCatalogue.h"
#include "TextForms.h"

namespace {

const TTagKeyInfo& Info(const char* key) {
    return *TTagCatalogue::FindKey(std::string_view(key));
}

// The keys written with the plain text rule after the markers, in write order.
constexpr const char* TrailingTextKeys[] = {"IALB", "IYER", "IGRE", "IBPM", "ITRK", "ICMT", "IENG",
                                            "ITCH", "ICOM", "IPUB", "BCPR", "INAM", "ICOP", "ISFT",
                                            "ISBJ", "IURL", "BKEY", "BEND", "BERG", "BTXR", "BTPO"};

} // namespace

bool TEditorValues::IsEmptyField(const QString& text) {
    return text.isEmpty() || text.at(0) == QLatin1Char(' ');
}

TEditorValues
TEditorValues::FromStored(const std::function<QString(const TTagKeyInfo&)>& storedText) {
    TEditorValues values;
    for (const TTagKeyInfo& info : TTagCatalogue::Keys()) {
        switch (info.Form) {
        case TValueForm::Text:
            values.SetField(info.KeyText(), storedText(info));
            break;
        case TValueForm::Date: {
            const auto stamp = TextToDateTime(storedText(info));
            values.SetField(info.KeyText(),
                            stamp && stamp->HasDate() ? ShownDateText(stamp->Date) : QString());
            break;
        }
        case TValueForm::Time: {
            const QString stored = storedText(info);
            values.SetField(info.KeyText(), TextToDateTime(stored) ? stored : QString());
            break;
        }
        case TValueForm::Flag:
            values.NoFade = TTagCatalogue::FlagFromStored(storedText(info));
            break;
        case TValueForm::MarkerFromStart:
        case TValueForm::MarkerBeforeEnd:
            break; // read below, all four together
        }
    }
    values.Markers.ReadStored(storedText);
    return values;
}

QList<TTagWrite> TEditorValues::Writes() const {
    QList<TTagWrite> writes;
    const auto setOrRemove = [&writes](const QString& key, const std::optional<QString>& text) {
        if (text)
            writes.append({TTagWrite::TOp::SetTag, key, *text});
        else
            writes.append({TTagWrite::TOp::Remove, key, QString()});
    };
    const auto textKey = [&](const char* key) {
        const TTagKeyInfo& info = Info(key);
        setOrRemove(info.KeyText(), TTagCatalogue::TextStoredText(info, Field(info.KeyText())));
    };

    const QString title = Field(QStringLiteral("DISP"));
    writes.append({TTagWrite::TOp::SetChunk, QStringLiteral("DISP"),
                   title.isEmpty() ? TTagCatalogue::OneBlank() : title});
    textKey("IART");

    for (const char* key : {"IGNR", "IKEY"}) {
        const auto stamp = TextToDateTime(Field(QLatin1String(key)));
        writes.append(
            {TTagWrite::TOp::SetTag, QLatin1String(key),
             stamp && stamp->HasDate() ? StoredDateText(stamp->Date) : TTagCatalogue::OneBlank()});
    }
    for (const char* key : {"BSTM", "BETM", "BSTW", "BETW"}) {
        const QString text = Field(QLatin1String(key));
        setOrRemove(QLatin1String(key), TextToDateTime(text) ? std::optional(text) : std::nullopt);
    }
    textKey("ISRC");
    writes.append(
        {TTagWrite::TOp::SetTag, QStringLiteral("BFAD"), TTagCatalogue::FlagStoredText(NoFade)});

    const auto marker = [&](const char* key, int32_t point) {
        setOrRemove(QLatin1String(key), TTagCatalogue::MarkerStoredText(Info(key), point));
    };
    marker("ISRF", Markers.IntroMs);
    marker("IMED", Markers.SegueMs);
    marker("HKST", Markers.HookStartMs);
    marker("HKEN", Markers.HookEndMs);

    for (const char* key : TrailingTextKeys)
        textKey(key);
    return writes;
}
