#pragma once

#include "ItemIdList.h"
#include "TPidl.h"

#include <QComboBox>

#include <memory>
#include <vector>

class TShellFolder;

// The folder combo box of the browser (cboSystem): the desktop at the top, the desktop's
// folders below it, the drives below Computer, and the chain of folders down to the folder
// shown, each level indented 10 pixels further than its parent, with small icons from the
// namespace's image list. Each entry owns the absolute identifier list of its folder.
//
// Setting the folder from code (SetActiveFolderIDList) never raises OnChange; only a pick by
// the user (mouse or keyboard) does.
class TSystemComboBox : public QComboBox {
    Q_OBJECT

public:
    static constexpr int IndentPerLevel = 10;
    // Item data roles: the entry's level (0 for the desktop).
    static constexpr int LevelRole = Qt::UserRole + 1;

    explicit TSystemComboBox(QWidget* parent = nullptr);
    ~TSystemComboBox() override;

    // Rebuilds the fixed entries (desktop, its folders, the drives) and selects nothing.
    void Rebuild();

    // The absolute list of the selected entry, owned by the box and valid until the box next
    // changes; null when nothing is selected.
    PCItemIDList GetActiveFolderIDList() const;
    // Takes the list: inserts the entries from the nearest ancestor in the box down to the
    // folder (replacing the entries an earlier call inserted) and selects it. A folder that
    // cannot be placed (null, or a name the namespace cannot give) leaves nothing selected.
    void SetActiveFolderIDList(TPidl absolute);

    // The entry's list and level (for tests and the view's drawing).
    PCItemIDList EntryIDList(int index) const;
    int EntryLevel(int index) const;
    // Entries that SetActiveFolderIDList inserted (the chain below the fixed entries).
    bool IsInserted(int index) const;

signals:
    // The user picked an entry.
    void OnChange();

private:
    struct TEntry {
        TPidl List;
        int Level = 0;
        bool Inserted = false;
    };

    std::unique_ptr<TShellFolder> Desktop;
    std::vector<TEntry> Entries; // parallel to the box's items

    void AddEntry(int at, TPidl list, int level, bool inserted);
    void RemoveInserted();
    int FindEntry(PCItemIDList absolute) const;
};
