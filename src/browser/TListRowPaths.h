#pragma once

#include "TFolderListModel.h"

#include <QByteArray>
#include <QList>

#include <cstdint>

// File-system paths of the rows, in row order, of the items whose capabilities include all
// of `needed` (saCan* bits; 0 for any item); rows out of range and entries without a path are
// left out. Shared by the list's file-management parts.
inline QList<QByteArray> ListRowPaths(const TFolderListModel& model, const QList<int>& rows,
                                      uint32_t needed = 0) {
    QList<QByteArray> paths;
    for (int row : rows) {
        if (row < 0 || row >= model.Count() ||
            (needed != 0 && (model.Capabilities(row) & needed) != needed))
            continue;
        const QByteArray path = model.PathOfRow(row);
        if (!path.isEmpty())
            paths.append(path);
    }
    return paths;
}
