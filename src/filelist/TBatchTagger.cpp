#include "TBatchTagger.h"

#include "TAudioFileRule.h"
#include "TAudioLibs.h"
#include "TagCatalogue.h"
#include "TextForms.h"

#include <QFile>

#include <sys/stat.h>

namespace {

// An audio file by name that is not a folder (a folder may be named like one).
bool IsAudioFile(const QByteArray& path) {
    if (!TAudioFileRule::IsAudioPath(path))
        return false;
    struct stat st {};
    return ::stat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode);
}

// A set, or a removal for an empty text.
TBatchTagger::TWrite SetOrRemove(const char* key, const QString& text) {
    TBatchTagger::TWrite write{key, std::nullopt, false};
    if (!text.isEmpty())
        write.Text = text.toUtf8();
    return write;
}

TBatchTagger::TWrite Remove(const char* key) {
    return {key, std::nullopt, false};
}

std::optional<TTimestamp> ParsedDate(const QString& text) {
    auto parsed = TextToDateTime(text);
    if (parsed && parsed->HasDate())
        return parsed;
    return std::nullopt;
}

} // namespace

TBatchTagger::TPicker TBatchTagger::PickerFor(int column) {
    if (column == 10 || column == 11)
        return TPicker::DateTime;
    if (column == 12 || column == 13)
        return TPicker::TimeWindow;
    if (column >= 3 && column <= TTagCatalogue::ColumnCount)
        return TPicker::Text;
    return TPicker::None;
}

std::optional<TBatchTagger::TRequest> TBatchTagger::Prepare(int column, int modalResult,
                                                            const QString& text,
                                                            const QString& dateText,
                                                            const QString& timeText) {
    const TColumnInfo* info = TTagCatalogue::FindColumn(column);
    const TPicker picker = PickerFor(column);
    if (picker == TPicker::None || !info || !info->HasKey())
        return std::nullopt;
    if (modalResult != 1 && modalResult != 3)
        return std::nullopt;
    const bool clear = modalResult == 3;
    const QString value = clear ? QString() : text;
    QString date = clear ? QString() : dateText;
    const QString time = clear ? QString() : timeText;

    TRequest request;
    request.Column = column;
    switch (picker) {
    case TPicker::Text:
        if (column == 4) {
            // The title chunk is written empty rather than removed.
            request.Writes.append({info->Key, value.toUtf8(), true});
        } else {
            request.Writes.append(SetOrRemove(info->Key, value));
        }
        request.Value = value;
        break;
    case TPicker::TimeWindow:
        if (TextToDateTime(time)) {
            request.Writes.append(SetOrRemove(info->Key, time));
            request.Value = time;
        } else {
            request.Writes.append(Remove(info->Key));
            request.Value = QString();
        }
        break;
    case TPicker::DateTime: {
        const auto parsedDate = ParsedDate(date);
        const bool timeParses = TextToDateTime(time).has_value();
        // A time without a date is refused as a whole.
        if (!parsedDate && timeParses)
            return std::nullopt;
        if (date.isEmpty()) {
            request.Writes.append(Remove(info->Key));
            request.Value = QString();
        }
        if (time.isEmpty())
            request.Writes.append(Remove(info->TimeKey));
        if (parsedDate) {
            // Converted once; every file gets the same stored form.
            date = StoredDateText(parsedDate->Date);
            request.Writes.append(SetOrRemove(info->Key, date));
            if (timeParses) {
                request.Writes.append(SetOrRemove(info->TimeKey, time));
                request.Value = date + QLatin1Char(' ') + time;
            } else {
                if (!time.isEmpty())
                    request.Writes.append(Remove(info->TimeKey));
                request.Value = date;
            }
        }
        break;
    }
    case TPicker::None:
        break;
    }
    if (request.Writes.isEmpty())
        return std::nullopt;
    return request;
}

QList<TBatchTagger::TFileResult> TBatchTagger::Run(const TRequest& request,
                                                   const QList<QByteArray>& paths,
                                                   const TProgress& progress) {
    QList<TFileResult> results;
    const TAudioLibs& libs = AudioLibs();
    for (qsizetype k = 0; k < paths.size(); ++k) {
        TFileResult result{paths[k], TFileResult::TOutcome::PassedOver, {}, {}, {}};
        if (IsAudioFile(paths[k]) && libs.OpenWavFile) {
            result.Before = TTagCache::StampOf(paths[k]);
            if (libs.OpenWavFile(paths[k].constData(), 0, 0) != 0) {
                result.Outcome = TFileResult::TOutcome::Failed;
                result.Reason = QString::fromStdString(TagLastError());
                if (result.Reason.isEmpty())
                    result.Reason = QStringLiteral("the file could not be opened");
            } else {
                bool refused = false;
                for (const TWrite& write : request.Writes) {
                    int16_t rc = 0;
                    if (write.Text && write.Text->size() > 0xFFFF) {
                        rc = -1; // longer than the library's length field can say
                    } else if (write.Chunk) {
                        rc = libs.SetChunkInfo(write.Key.constData(), write.Text->constData(),
                                               uint16_t(write.Text->size()));
                    } else if (write.Text) {
                        rc = libs.SetTagInfo(write.Key.constData(), write.Text->constData(),
                                             uint16_t(write.Text->size()));
                    } else {
                        rc = libs.RemoveTag(write.Key.constData());
                    }
                    refused = refused || rc != 0;
                }
                const int16_t closed = libs.CloseWavFile();
                if (closed != 0 || refused) {
                    result.Outcome = TFileResult::TOutcome::Failed;
                    result.Reason = closed != 0 ? QString::fromStdString(TagLastError())
                                                : QStringLiteral("a value was refused");
                } else {
                    result.Outcome = TFileResult::TOutcome::Written;
                    result.After = TTagCache::StampOf(paths[k]);
                }
            }
        }
        results.append(result);
        if (progress)
            progress(int((k + 1) * 100 / paths.size()));
    }
    return results;
}

QString TBatchTagger::FailureMessage(const QList<TFileResult>& results) {
    QStringList lines;
    for (const TFileResult& result : results) {
        if (result.Outcome != TFileResult::TOutcome::Failed)
            continue;
        QString line = DisplayName(result.Path);
        if (!result.Reason.isEmpty())
            line += QStringLiteral(" (") + result.Reason + QLatin1Char(')');
        lines.append(line);
    }
    if (lines.isEmpty())
        return QString();
    return FileListing(QStringLiteral("1 file could not be written:"),
                       QStringLiteral("%1 files could not be written:"), lines);
}

QString TBatchTagger::FileListing(const QString& one, const QString& many,
                                  const QStringList& lines) {
    QString text = lines.size() == 1 ? one : many.arg(lines.size());
    for (qsizetype i = 0; i < lines.size() && i < ListedFailures; ++i)
        text += QLatin1Char('\n') + lines[i];
    if (lines.size() > ListedFailures)
        text += QStringLiteral("\n... and %1 more").arg(lines.size() - ListedFailures);
    return text;
}

QString TBatchTagger::DisplayName(const QByteArray& path) {
    return QFile::decodeName(path.mid(path.lastIndexOf('/') + 1));
}
