#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>

#include <functional>

class TXListView;

// Copy, Cut and Paste of the list's items in the desktop file managers' clipboard formats. Items
// cut here are drawn faded (the model's cut marks) until the clipboard changes; Escape empties
// the clipboard and the marks.
class TListClipboard : public QObject {
    Q_OBJECT

public:
    // Told the sources a paste moved or copied, to announce what went and re-read the folder.
    using TAfterChange = std::function<void(const QList<QByteArray>& touched)>;
    TListClipboard(TXListView& list, TAfterChange afterChange, QObject* parent = nullptr);

    void CopySelection();
    void CutSelection();
    void PasteFiles();
    // Fades these items (the item menu's Cut placed them on the clipboard itself).
    void SetCutMarks(const QList<QByteArray>& paths);
    // Clears every cut mark unless the clipboard still holds exactly the items cut here.
    void ClearCutMarks();

private:
    TXListView& List;
    TAfterChange AfterChange;
    QList<QByteArray> CutPaths; // the items shown faded

    void EscapePressed();
};
