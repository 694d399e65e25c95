#pragma once

#include "TFileOperations.h"

#include <QByteArray>
#include <QList>

class QWidget;

// The file operations as the user meets them: a progress dialog with Cancel when the work
// lasts longer than about a second, one confirmation question before items go to the Trash,
// an error box naming the item and giving the system's reason (and, while more items remain,
// the question whether to go on with them), and the question before a rename to a free name
// when the wanted one is taken. Boxes go through the message seam (Messages()).
class TFileOperationUi {
public:
    explicit TFileOperationUi(QWidget* owner, TFileSystemCalls& calls = TFileSystemCalls::Native());

    // How long an operation runs before its progress dialog shows (tests set 0).
    void SetShowDelayMs(int ms) { ShowDelayMs = ms; }

    // Copy or move into targetDir; arriving names that are taken get free names.
    TFileOpResult Transfer(const QList<QByteArray>& sources, const QByteArray& targetDir,
                           TTransferMode mode);
    // Moves the items to the Trash after one question; nothing happens when it is declined.
    TFileOpResult DeleteToTrash(const QList<QByteArray>& paths);
    // Renames `path` to newName; when that name is taken asks whether to use a free name
    // ("take (2).wav") instead. The new path on success, nothing otherwise.
    std::optional<QByteArray> Rename(const QByteArray& path, const QByteArray& newName);

    // "Cannot move "take.wav": Permission denied" and the like.
    static QString ErrorText(const TFileOpError& error);
    // The delete question for the items.
    static QString TrashQuestion(const QList<QByteArray>& paths);

private:
    TFileOpResult Run(const QString& title,
                      const std::function<TFileOpResult(TFileOperations&)>& work);

    QWidget* Owner;
    TFileSystemCalls& Calls;
    int ShowDelayMs = 1000;
};
