#pragma once

#include <QByteArray>
#include <QLineEdit>
#include <QObject>
#include <QPointer>

class TXListView;

// Renaming a list item in place (F2 or the item menu's Rename) through the view's own editing:
// the row delegate's name editor over the name's cell, Enter or leaving it commits, Escape
// cancels. The model carries the name out through the file operations given here (never over
// another item) and its entry takes the new name.
class TListRename : public QObject {
    Q_OBJECT

public:
    explicit TListRename(TXListView& list, QObject* parent = nullptr);
    ~TListRename() override;

    // Starts editing the first selected row's name.
    void EditSelectedName();
    // The line edit of a running rename, null when none.
    QLineEdit* NameEditor() const;

signals:
    void OnItemRenamed(const QByteArray& oldPath, const QByteArray& newPath);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TXListView& List;
    QPointer<QLineEdit> Editor;
};
