#include "TListRename.h"

#include "TFileOperationUi.h"
#include "TFileOperations.h"
#include "TNoticesOff.h"
#include "TXListView.h"

#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>

TListRename::TListRename(TXListView& list, QObject* parent) : QObject(parent), List(list) {
    List.installEventFilter(this);
}

void TListRename::EditSelectedName() {
    const QList<int> rows = List.SelectedRows();
    if (rows.isEmpty() || Editor)
        return;
    const int row = rows.front();
    const TShellItem& entry = List.ListModel().Entry(row);
    const QByteArray path = List.ListModel().PathOfRow(row);
    if (!entry.CanRename || path.isEmpty())
        return;
    List.scrollTo(List.model()->index(row, 0));
    QRect cell = List.visualRect(List.model()->index(row, 0));
    const int icon = List.iconSize().isValid()
                         ? List.iconSize().width()
                         : List.style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, &List);
    cell.setLeft(cell.left() + icon + 4);
    EditPath = path;
    Editor = new QLineEdit(List.viewport());
    Editor->setObjectName(QStringLiteral("edtName"));
    const QString name = QFile::decodeName(TFileOperations::FileName(path));
    Editor->setText(name);
    Editor->setGeometry(cell);
    // The name without its extension is selected, as file managers do.
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && !entry.IsFolder)
        Editor->setSelection(0, dot);
    else
        Editor->selectAll();
    Editor->installEventFilter(this);
    Editor->show();
    Editor->setFocus(Qt::OtherFocusReason);
}

void TListRename::CommitName(bool accept) {
    if (!Editor || Committing)
        return;
    Committing = true;
    QLineEdit* editor = Editor;
    Editor = nullptr;
    const QString text = editor->text();
    editor->removeEventFilter(this);
    editor->hide();
    editor->deleteLater();
    List.setFocus(Qt::OtherFocusReason);
    const QByteArray oldPath = EditPath;
    const QByteArray newName = QFile::encodeName(text);
    if (accept && !newName.isEmpty() && newName != TFileOperations::FileName(oldPath)) {
        std::optional<QByteArray> newPath;
        {
            const TNoticesOff quiet(List);
            newPath = TFileOperationUi(&List).Rename(oldPath, newName);
        }
        if (newPath && *newPath != oldPath) {
            UpdateRenamedEntry(oldPath, *newPath);
            emit OnItemRenamed(oldPath, *newPath);
        }
    }
    Committing = false;
}

void TListRename::UpdateRenamedEntry(const QByteArray& oldPath, const QByteArray& newPath) {
    TFolderListModel& model = List.ListModel();
    const int row = model.RowOfPath(oldPath);
    // Within a folder the entry keeps its row; elsewhere (the desktop) the folder is re-read.
    if (row < 0 || !model.RenameEntry(row, TFileOperations::FileName(newPath)))
        List.RefreshFolder(false);
}

bool TListRename::eventFilter(QObject* watched, QEvent* event) {
    if (Editor && watched == Editor) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
                CommitName(key != Qt::Key_Escape);
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            CommitName(true);
        }
        return false;
    }
    if (watched == &List && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F2 && key->modifiers() == Qt::NoModifier) {
            EditSelectedName();
            return true;
        }
    }
    return false;
}
