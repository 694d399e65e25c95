#include "TListRename.h"

#include "TFileOperationUi.h"
#include "TListRoles.h"
#include "TNoticesOff.h"
#include "TXListView.h"

#include <QKeyEvent>
#include <QLineEdit>

TListRename::TListRename(TXListView& list, QObject* parent) : QObject(parent), List(list) {
    List.installEventFilter(this);
    TFolderListModel& model = List.ListModel();
    // The program's own rename gives the monitor nothing to report.
    model.SetRenamer([this](const QByteArray& path, const QByteArray& name) {
        const TNoticesOff quiet(List);
        return TFileOperationUi(&List).Rename(path, name);
    });
    connect(&model, &TFolderListModel::EntryRenamed, this, &TListRename::OnItemRenamed);
}

TListRename::~TListRename() {
    List.ListModel().SetRenamer({});
}

void TListRename::EditSelectedName() {
    const QList<int> rows = List.SelectedRows();
    if (rows.isEmpty() || NameEditor())
        return;
    const QModelIndex index = List.model()->index(rows.front(), 0);
    if (!(index.flags() & Qt::ItemIsEditable))
        return;
    List.scrollTo(index);
    List.edit(index);
    Editor = qobject_cast<QLineEdit*>(List.indexWidget(index));
    if (!Editor)
        return;
    // The name without its extension is selected, as file managers do (after the view's own
    // select-all of a new editor).
    const QString name = Editor->text();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && !index.data(IsFolderRole).toBool())
        Editor->setSelection(0, dot);
    else
        Editor->selectAll();
}

QLineEdit* TListRename::NameEditor() const {
    return List.IsEditing() ? Editor.data() : nullptr;
}

bool TListRename::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &List && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F2 && key->modifiers() == Qt::NoModifier) {
            EditSelectedName();
            return true;
        }
    }
    return false;
}
