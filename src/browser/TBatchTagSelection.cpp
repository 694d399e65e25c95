#include "TBatchTagSelection.h"

#include "Datetime.h"
#include "PidlHelp.h"
#include "TBatchTagger.h"
#include "TListRoles.h"
#include "TListStatus.h"
#include "TMessages.h"
#include "TNoticesOff.h"
#include "TSortHeaderView.h"
#include "TXListView.h"
#include "Text.h"
#include "Timetool.h"

#include <QContextMenuEvent>
#include <QHash>
#include <QLineEdit>
#include <QTimer>

#include <memory>

TBatchTagSelection::TBatchTagSelection(TXListView& list, QObject* parent)
    : QObject(parent), List(list) {
    List.installEventFilter(this);
    AttachHeader();
}

void TBatchTagSelection::SetPickerRunner(TPickerRunner runner) {
    PickerRunner = std::move(runner);
}

void TBatchTagSelection::AttachHeader() {
    QHeaderView* header = List.header();
    if (header == Header)
        return;
    if (Header) {
        Header->removeEventFilter(this);
        Header->viewport()->removeEventFilter(this);
    }
    Header = header;
    if (Header) {
        Header->installEventFilter(this);
        Header->viewport()->installEventFilter(this);
    }
}

bool TBatchTagSelection::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &List) {
        // A header put in later (setHeader) is a new child of the list.
        if (event->type() == QEvent::ChildAdded)
            QTimer::singleShot(0, this, [this] { AttachHeader(); });
        return false;
    }
    if (Header && (watched == Header || watched == Header->viewport()) &&
        event->type() == QEvent::ContextMenu) {
        auto* menu = static_cast<QContextMenuEvent*>(event);
        const QPoint local = Header->viewport()->mapFromGlobal(menu->globalPos());
        const int section = Header->logicalIndexAt(local);
        // Taken here in any case: a header click must not reach the rows' item menu.
        menu->accept();
        if (section >= 0)
            TagSelection(section, menu->globalPos());
        return true;
    }
    return false;
}

QString TBatchTagSelection::CaptionOf(int section) const {
    QString caption = List.model()->headerData(section, Qt::Horizontal, Qt::DisplayRole).toString();
    if (caption.isEmpty()) {
        // The sort column's header may draw its caption itself.
        if (auto* sortHeader = qobject_cast<TSortHeaderView*>(List.header()))
            if (sortHeader->SortSection() == section)
                caption = sortHeader->SortCaption();
    }
    return caption;
}

void TBatchTagSelection::TagSelection(int section, const QPoint& globalPos) {
    const QList<int> rows = List.SelectedRows();
    if (rows.size() < 2)
        return;
    const int column = List.model()->headerData(section, Qt::Horizontal, ColumnNumberRole).toInt();
    const TBatchTagger::TPicker kind = TBatchTagger::PickerFor(column);
    if (kind == TBatchTagger::TPicker::None)
        return;

    QWidget* owner = List.window();
    std::unique_ptr<TPickerDialog> picker;
    TFrmText* textPicker = nullptr;
    TFrmDateTime* dateTimePicker = nullptr;
    TFrmTimeTool* timePicker = nullptr;
    switch (kind) {
    case TBatchTagger::TPicker::Text:
        picker.reset(textPicker = new TFrmText(owner));
        break;
    case TBatchTagger::TPicker::DateTime:
        picker.reset(dateTimePicker = new TFrmDateTime(owner));
        break;
    case TBatchTagger::TPicker::TimeWindow:
        picker.reset(timePicker = new TFrmTimeTool(owner));
        break;
    case TBatchTagger::TPicker::None:
        return;
    }
    picker->setWindowTitle(CaptionOf(section));
    picker->move(globalPos);
    const int result = PickerRunner ? PickerRunner(*picker) : picker->exec();

    QString text, dateText, timeText;
    if (textPicker)
        text = textPicker->Text();
    if (dateTimePicker) {
        dateText = dateTimePicker->DateText();
        timeText = dateTimePicker->TimeText();
    }
    if (timePicker)
        timeText = timePicker->Time().toString(QStringLiteral("hh:mm"));
    picker.reset();

    const auto request = TBatchTagger::Prepare(column, result, text, dateText, timeText);
    if (!request)
        return;

    // Entries are found again by path afterwards: nothing may assume the rows stood still
    // while the window kept painting.
    TFolderListModel& model = List.ListModel();
    QList<QByteArray> paths;
    for (int row : rows)
        paths.append(model.PathOfRow(row));

    QList<TBatchTagger::TFileResult> results;
    {
        const TNoticesOff quiet(List);
        if (Progress)
            Progress->BeginProgress();
        results = TBatchTagger::Run(*request, paths, [this](int percent) {
            if (Progress)
                Progress->StepProgress(percent);
        });
        if (Progress)
            Progress->EndProgress();
    }

    QHash<QByteArray, int> rowOf;
    for (int row = 0; row < model.Count(); ++row)
        rowOf.insert(model.PathOfRow(row), row);
    using TOutcome = TBatchTagger::TFileResult::TOutcome;
    QList<QByteArray> written;
    for (const auto& file : results)
        if (file.Outcome == TOutcome::Written)
            written.append(file.Path);
    for (const auto& file : results) {
        if (file.Outcome == TOutcome::PassedOver || !rowOf.contains(file.Path))
            continue;
        const int row = rowOf.value(file.Path);
        // The audio stays as it was measured.
        if (file.Outcome == TOutcome::Written && model.TagCache())
            model.TagCache()->RestampAnalyses(file.Path, file.Before, file.After);
        if (file.Outcome == TOutcome::Written && request->Value)
            model.SetEntryValue(row, column, *request->Value);
        model.MarkStale(row);
    }
    List.viewport()->update();
    if (!written.isEmpty())
        emit OnFilesWritten(written, column);

    const QString failures = TBatchTagger::FailureMessage(results);
    if (!failures.isEmpty())
        Messages().Error(failures, &List);
}
