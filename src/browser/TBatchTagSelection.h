#pragma once

#include "TListStatus.h"

#include <QHeaderView>
#include <QObject>
#include <QPointer>

#include <functional>

class QDialog;

class QPoint;
class TXListView;

// Batch tagging from the list: a right click on an extended column's header with two or more
// rows selected opens the column's picker at the mouse position, and "Set" or "Clear" writes
// the value into every selected audio file (TBatchTagger) with the progress bar showing. The
// rows written get the new text at once and every row touched is read again when next drawn;
// files that could not be written are named in one error box.
class TBatchTagSelection : public QObject {
    Q_OBJECT

public:
    explicit TBatchTagSelection(TXListView& list, QObject* parent = nullptr);

    // The whole operation for the header section under a right click at globalPos.
    void TagSelection(int section, const QPoint& globalPos);

    // Tests replace how this object's pickers run (default: exec); the answer is the
    // picker's modal result.
    using TPickerRunner = std::function<int(QDialog& picker)>;
    void SetPickerRunner(TPickerRunner runner);
    // Where the progress of a batch shows (not owned); null shows none.
    void SetProgress(TListStatus* progress) { Progress = progress; }

signals:
    // The files into which the column's value was written (for an editor showing one of them).
    void OnFilesWritten(const QList<QByteArray>& paths, int column);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TXListView& List;
    TPickerRunner PickerRunner;
    QPointer<TListStatus> Progress;
    QPointer<QHeaderView> Header;

    // Watches the list's header (again when the list is given another one).
    void AttachHeader();
    QString CaptionOf(int section) const;
};
