#include "TBroadcastFields.h"

#include "TAudioLibs.h"

#include <QHash>

#include <string>

namespace {

// Text a library call copies out: asked for its length first, then read whole.
template <typename TCall> QString Copied(TCall call) {
    const int32_t length = call(nullptr, 0);
    if (length <= 0)
        return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    call(text.data(), static_cast<int32_t>(text.size()));
    text.resize(std::char_traits<char>::length(text.c_str()));
    return QString::fromStdString(text);
}

// The cart field a text key is carried in, with its size in bytes (0: no limit).
struct TLink {
    const char* Key;
    const char* Field;
    int Size;
};
constexpr TLink TextLinks[] = {{"DISP", "cart.Title", 64},    {"IART", "cart.Artist", 64},
                               {"ISRC", "cart.Category", 64}, {"INAM", "cart.OutCue", 64},
                               {"IURL", "cart.URL", 1024},    {"ISBJ", "cart.TagText", 0}};

// What a field of `size` bytes holds of the text: cut on a character boundary.
QString CutTo(const QString& text, int size) {
    if (size == 0)
        return text;
    QByteArray utf8 = text.toUtf8();
    if (utf8.size() <= size)
        return text;
    int n = size;
    while (n > 0 && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80)
        --n;
    return QString::fromUtf8(utf8.left(n));
}

QString CrLf(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text;
}

} // namespace

TBroadcastFields::TFields TBroadcastFields::Read() {
    TFields fields;
    const auto& libs = AudioLibs();
    if (libs.GetBroadcastFields == nullptr || libs.GetBroadcastInfo == nullptr)
        return fields;
    const QString names = Copied(libs.GetBroadcastFields);
    for (const QString& name : names.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const std::string id = name.toStdString();
        fields.append({name, Copied([&](char* b, int32_t n) {
                           return std::max(libs.GetBroadcastInfo(id.c_str(), b, n), 0);
                       })});
    }
    return fields;
}

QStringList TBroadcastFields::LastShortened() {
    const auto call = AudioLibs().GetShortenedFields;
    if (call == nullptr)
        return {};
    return Copied(call).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TBroadcastFields::Apply(int mode, int profile) {
    if (const auto call = AudioLibs().SetBroadcastOptions)
        call(mode, profile);
}

bool TBroadcastFields::HasCart(const TFields& fields) {
    for (const auto& field : fields)
        if (field.first.startsWith(QLatin1String("cart.")))
            return true;
    return false;
}

QStringList TBroadcastFields::OutOfStep(const TFields& fields, const TEditorValues& values) {
    if (!HasCart(fields))
        return {};
    QHash<QString, QString> stored;
    for (const auto& field : fields)
        stored.insert(field.first, field.second);
    QHash<QString, QString> written;
    for (const TTagWrite& write : values.Writes())
        if (write.Op != TTagWrite::TOp::Remove)
            written.insert(write.Key, write.Text.trimmed().isEmpty() ? QString() : write.Text);
    QStringList out;
    for (const TLink& link : TextLinks) {
        QString want = CutTo(written.value(QLatin1String(link.Key)), link.Size);
        QString have = stored.value(QLatin1String(link.Field));
        if (QLatin1String(link.Key) == QLatin1String("ISBJ")) {
            want = CrLf(want);
            have = CrLf(have);
        }
        if (want != have)
            out.append(QString::fromLatin1(link.Field).mid(5));
    }
    // Dates as the cart writes them ("yyyy-mm-dd"); "unset" placeholders are no date.
    const auto cartDate = [&](const char* key) {
        QString date = written.value(QLatin1String(key));
        return date.replace(QLatin1Char('/'), QLatin1Char('-'));
    };
    const auto storedDate = [&](const char* field) {
        const QString date = stored.value(QLatin1String(field));
        return date == QLatin1String("1900-01-01") || date == QLatin1String("9999-12-31")
                   ? QString()
                   : date;
    };
    if (cartDate("IGNR") != storedDate("cart.StartDate"))
        out.append(QStringLiteral("StartDate"));
    if (cartDate("IKEY") != storedDate("cart.EndDate"))
        out.append(QStringLiteral("EndDate"));
    return out;
}
