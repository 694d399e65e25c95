#pragma once

#include <Qt>

// Item data roles by which the folder list's model hands an entry's drawing state to the row
// delegate and the sort header, beyond Qt's display and decoration roles.
enum TListRole : int {
    ReadFailedRole = Qt::UserRole + 1, // bool: the entry's details could not be read (red text)
    FadedIconRole,                     // bool: icon drawn blended with white (hidden or cut item)
    OverlayIconRole,                   // QIcon: drawn over the item's icon (link), may be null
    ColumnNumberRole, // int (header data): 0 for Name/Size/Modified, 1..37 extended
    AirStateRole,     // int (TAirState) at the model's moment; invalid while not known
    IsFolderRole,     // bool: the entry is a folder (its whole name is edited, not the stem)
};
