#pragma once

#include "TFolderListModel.h"

#include <QByteArray>
#include <QList>

#include <functional>

// File-system paths of the rows, in row order, of the entries the filter allows; rows out of
// range and entries without a path are left out. Shared by the list's file-management parts.
inline QList<QByteArray> ListRowPaths(const TFolderListModel& model, const QList<int>& rows,
                                      const std::function<bool(const TShellItem&)>& allowed = {}) {
    QList<QByteArray> paths;
    for (int row : rows) {
        if (row < 0 || row >= model.Count() || (allowed && !allowed(model.Entry(row))))
            continue;
        const QByteArray path = model.PathOfRow(row);
        if (!path.isEmpty())
            paths.append(path);
    }
    return paths;
}
