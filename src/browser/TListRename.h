#pragma once

#include <QByteArray>
#include <QLineEdit>
#include <QObject>
#include <QPointer>

class TXListView;

// Renaming a list item in place (F2 or the item menu's Rename): a line edit over the name's
// cell, Enter or leaving it commits, Escape cancels. The file is renamed through the file
// operations (never over another item) and the model's entry takes the new name.
class TListRename : public QObject {
    Q_OBJECT

public:
    explicit TListRename(TXListView& list, QObject* parent = nullptr);

    // Starts editing the first selected row's name.
    void EditSelectedName();
    // The line edit of a running rename, null when none.
    QLineEdit* NameEditor() const { return Editor; }

signals:
    void OnItemRenamed(const QByteArray& oldPath, const QByteArray& newPath);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TXListView& List;
    QPointer<QLineEdit> Editor;
    QByteArray EditPath;
    bool Committing = false;

    void CommitName(bool accept);
    void UpdateRenamedEntry(const QByteArray& oldPath, const QByteArray& newPath);
};
