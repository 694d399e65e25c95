#include "TDetailReader.h"

#include "TAudioFileRule.h"
#include "TAudioLibs.h"
#include "TColumnTexts.h"
#include "TLoudnessColumns.h"
#include "TOpenAudioFile.h"
#include "TShellItem.h"
#include "TagCatalogue.h"
#include "TextForms.h"

#include <sys/stat.h>

#include <ctime>

#include <algorithm>
#include <array>
#include <atomic>

namespace {

constexpr int FormatBufferSize = 128;
constexpr int TagBufferSize = 256;

QString FromBuffer(const char* buffer, size_t size) {
    const auto* end = std::find(buffer, buffer + size, '\0');
    return QString::fromUtf8(buffer, end - buffer);
}

// The texts one read gives, put into the entry at once (its values live in one block that
// each change builds anew).
class TReadTexts {
public:
    void Set(int column, QString text) {
        if (column < 1 || column > TShellItem::ValueCount)
            return;
        Texts[static_cast<size_t>(column)] = std::move(text);
        Given |= uint64_t{1} << column;
    }
    void ApplyTo(TShellItem& entry) const {
        if (Given == 0)
            return;
        std::array<QStringView, TShellItem::ValueCount> views;
        size_t count = 0;
        for (int column = 1; column <= TShellItem::ValueCount; ++column)
            if ((Given >> column & 1) != 0)
                views[count++] = Texts[static_cast<size_t>(column)];
        entry.SetValues(Given, views.data());
    }

private:
    std::array<QString, TShellItem::ValueCount + 1> Texts;
    uint64_t Given = 0;
};

} // namespace

TDetailPlan TDetailReader::Plan(const std::vector<TListColumn>& columns) {
    TDetailPlan plan;
    if (columns.size() <= 3)
        return plan;
    plan.Audio = true;
    // Every column is looked at (not only up to the first tag column), so a settings file
    // that lists Format or Time behind a tag column still gets them read.
    for (size_t i = 3; i < columns.size(); ++i) {
        const int number = columns[i].Number;
        if (number == TTagCatalogue::FormatColumn)
            plan.Format = true;
        else if (number == TTagCatalogue::TimeColumn)
            plan.Time = true;
        else if (TTagCatalogue::KeyOfColumn(number) != nullptr)
            plan.TagColumns.push_back(number);
        else if (TLoudnessColumns::Contains(number))
            plan.Loudness = true;
    }
    return plan;
}

void TDetailReader::AddAirColumns(TDetailPlan& plan) {
    plan.Audio = true;
    for (int number : {10, 11, 12, 13})
        if (std::find(plan.TagColumns.begin(), plan.TagColumns.end(), number) ==
            plan.TagColumns.end())
            plan.TagColumns.push_back(number);
}

uint64_t TDetailReader::ColumnsOf(const TDetailPlan& plan) {
    uint64_t columns = 0;
    if (plan.Format)
        columns |= uint64_t{1} << TTagCatalogue::FormatColumn;
    if (plan.Time)
        columns |= uint64_t{1} << TTagCatalogue::TimeColumn;
    for (int number : plan.TagColumns)
        if (number >= 1 && number <= TShellItem::ValueCount)
            columns |= uint64_t{1} << number;
    return columns;
}

TFileStamp TDetailReader::ReadFileData(TShellItem& entry, bool useListed) {
    if (useListed && entry.ListedAtMs >= 0)
        return Take(entry, entry.Listed, entry.ListedMode);
    const QByteArray& path = entry.ParsingName;
    struct stat st {};
    const bool found = !path.isEmpty() && !path.startsWith("::") &&
                       (::stat(path.constData(), &st) == 0 || ::lstat(path.constData(), &st) == 0);
    if (!found)
        st = {};
    return TakeFileData(entry, st);
}

TFileStamp TDetailReader::TakeFileData(TShellItem& entry, const struct stat& st) {
    return Take(entry, st.st_mode == 0 ? TFileStamp{} : TFileStamp::Of(st),
                static_cast<uint32_t>(st.st_mode));
}

TFileStamp TDetailReader::Take(TShellItem& entry, const TFileStamp& stamp, uint32_t mode) {
    // The listing's examination serves one pass only.
    entry.ListedAtMs = -1;
    if (mode == 0) {
        entry.Size = 0;
        entry.Attributes = 0;
        entry.ModifiedTime = QDateTime();
        return {};
    }
    entry.Size = stamp.Size;
    entry.Attributes = mode;
    // The Modified text is made from the time when a row is shown (most rows of a big
    // folder never are).
    entry.ModifiedTime = stamp.MtimeNs == 0 ? QDateTime() : LocalTime(stamp.MtimeNs);
    return stamp;
}

namespace {

// The zone's offset from UTC over one quarter hour, kept while the zone stays the same:
// files of a folder are mostly written close together, and the C library's conversion costs
// more than the rest of a row's examination. Zone rules never change twice in a quarter hour,
// so equal offsets at both ends hold for the whole of it.
constexpr int64_t OffsetSpan = 900;
std::atomic<uint64_t> ZoneGeneration{0};
struct TKnownOffset {
    uint64_t Generation = ~uint64_t{0};
    int64_t Span = 0;
    long Offset = 0;
};
thread_local TKnownOffset KnownOffset;

bool OffsetAt(time_t t, long& offset) {
    struct tm parts {};
    if (::localtime_r(&t, &parts) == nullptr)
        return false;
    offset = parts.tm_gmtoff;
    return true;
}

} // namespace

void TDetailReader::ZoneMayHaveChanged() {
    ::tzset();
    ZoneGeneration.fetch_add(1, std::memory_order_relaxed);
}

QDateTime TDetailReader::LocalTime(int64_t ns) {
    constexpr int64_t nsPerSecond = 1000000000;
    int64_t seconds = ns / nsPerSecond;
    int64_t rest = ns % nsPerSecond;
    if (rest < 0) {
        --seconds;
        rest += nsPerSecond;
    }
    // The C library's zone rules, loaded once (ZoneMayHaveChanged at each pass follows a change
    // of zone): Qt's local time reads the zone file again for every value, a stat per row.
    const int64_t span = seconds >= 0 ? seconds / OffsetSpan : (seconds + 1) / OffsetSpan - 1;
    const uint64_t generation = ZoneGeneration.load(std::memory_order_relaxed);
    long offset = 0;
    TKnownOffset& known = KnownOffset;
    if (known.Generation == generation && known.Span == span) {
        offset = known.Offset;
    } else {
        if (!OffsetAt(static_cast<time_t>(seconds), offset))
            return {};
        long first = 0;
        long last = 0;
        if (OffsetAt(static_cast<time_t>(span * OffsetSpan), first) &&
            OffsetAt(static_cast<time_t>(span * OffsetSpan + OffsetSpan - 1), last) &&
            first == last && first == offset)
            known = {generation, span, offset};
    }
    return QDateTime::fromMSecsSinceEpoch(seconds * 1000 + rest / 1000000, Qt::OffsetFromUTC,
                                          static_cast<int>(offset));
}

bool TDetailReader::ReadsOpenFiles(const TDetailPlan& plan) {
    if (!plan.Audio)
        return false;
    const TAudioLibs& libs = AudioLibs();
    return ((plan.Format || plan.Time) && libs.SN_GetOpenFileFormatAndLength != nullptr) ||
           (!plan.TagColumns.empty() && libs.OpenWavFileOnDescriptor != nullptr);
}

void TDetailReader::ReadAudio(TShellItem& entry, const TDetailPlan& plan,
                              const TOpenAudioFile* opened) {
    if (!plan.Audio || !entry.IsFileSystem || entry.IsFolder ||
        !TAudioFileRule::IsAudioPath(entry.ParsingName))
        return;
    const TAudioLibs& libs = AudioLibs();
    const char* path = entry.ParsingName.constData();
    if (opened != nullptr && !opened->IsOpen())
        opened = nullptr;
    bool failed = false;
    bool open = false;
    TReadTexts texts;
    try {
        // Format and Time from one open of the file where the library offers it, or from the
        // file already open.
        uint32_t ms = 0;
        std::array<char, FormatBufferSize> a{};
        std::array<char, FormatBufferSize> b{};
        bool known = false;
        if ((plan.Format || plan.Time) && opened != nullptr &&
            libs.SN_GetOpenFileFormatAndLength != nullptr) {
            known = libs.SN_GetOpenFileFormatAndLength(
                        opened->Descriptor(), opened->Size(), opened->Head(),
                        static_cast<int32_t>(opened->HeadLength()), a.data(), FormatBufferSize,
                        b.data(), FormatBufferSize, &ms) != 0;
        } else if (plan.Format && plan.Time && libs.SN_GetWaveFileFormatAndLength != nullptr) {
            known = libs.SN_GetWaveFileFormatAndLength(path, a.data(), FormatBufferSize, b.data(),
                                                       FormatBufferSize, &ms) != 0;
        } else {
            if (plan.Format)
                known = libs.SN_GetWaveFileFormat != nullptr &&
                        libs.SN_GetWaveFileFormat(path, a.data(), FormatBufferSize, b.data(),
                                                  FormatBufferSize) != 0;
            if (plan.Time && libs.SN_PlayGetLengthMsFile != nullptr)
                ms = libs.SN_PlayGetLengthMsFile(path);
        }
        if (plan.Format) {
            if (known) {
                texts.Set(TTagCatalogue::FormatColumn, FromBuffer(a.data(), a.size()) +
                                                           QStringLiteral(" - ") +
                                                           FromBuffer(b.data(), b.size()));
            } else {
                texts.Set(TTagCatalogue::FormatColumn, QStringLiteral("Unknown"));
                failed = true;
            }
        }
        if (plan.Time) {
            if (ms > 0) {
                texts.Set(TTagCatalogue::TimeColumn, TimeText(ms));
            } else {
                texts.Set(TTagCatalogue::TimeColumn, QStringLiteral("Zero"));
                failed = true;
            }
        }
        if (!plan.TagColumns.empty()) {
            const bool onDescriptor = opened != nullptr && libs.OpenWavFileOnDescriptor != nullptr;
            const bool tagsOpen =
                onDescriptor
                    ? libs.OpenWavFileOnDescriptor(path, opened->Descriptor(), opened->Size(),
                                                   opened->Head(),
                                                   static_cast<int32_t>(opened->HeadLength())) == 0
                    : libs.OpenWavFile != nullptr && libs.OpenWavFile(path, 0, 0) == 0;
            if (!tagsOpen) {
                failed = true;
            } else {
                open = true;
                std::array<char, TagBufferSize> buffer{};
                std::array<char, TagBufferSize> timeBuffer{};
                for (int number : plan.TagColumns) {
                    const TColumnInfo* column = TTagCatalogue::FindColumn(number);
                    const TTagKeyInfo* key = TTagCatalogue::KeyOfColumn(number);
                    buffer.fill('\0');
                    if (key->IsChunk)
                        libs.GetChunkInfo(key->Key, buffer.data(), TagBufferSize);
                    else
                        libs.GetTagInfo(key->Key, buffer.data(), TagBufferSize);
                    QString text = FromBuffer(buffer.data(), buffer.size());
                    if (column->TimeKey != nullptr) {
                        timeBuffer.fill('\0');
                        libs.GetTagInfo(column->TimeKey, timeBuffer.data(), TagBufferSize);
                        text = TColumnTexts::DateTimeText(
                            text, FromBuffer(timeBuffer.data(), timeBuffer.size()));
                    }
                    texts.Set(number, std::move(text));
                }
                open = false;
                libs.CloseWavFile();
            }
        }
    } catch (...) {
        // The library holds one open file: never leave it open for the next entry.
        if (open)
            libs.CloseWavFile();
        failed = true;
    }
    texts.ApplyTo(entry);
    entry.ReadFailed = failed;
}
