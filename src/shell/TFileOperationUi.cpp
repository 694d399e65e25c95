#include "TFileOperationUi.h"

#include "TMessages.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProgressDialog>

#include <cerrno>
#include <memory>

namespace {

QString Shown(const QByteArray& path) {
    return QFile::decodeName(path);
}

} // namespace

TFileOperationUi::TFileOperationUi(QWidget* owner, TFileSystemCalls& calls)
    : Owner(owner), Calls(calls) {}

QString TFileOperationUi::ErrorText(const TFileOpError& error) {
    using S = TFileOpError::TStep;
    const QString name = Shown(error.Path);
    QString reason = error.SystemText();
    if (error.Errno == EINVAL && (error.Step == S::Copy || error.Step == S::Move))
        reason = QStringLiteral("a folder cannot be put into itself");
    if (!error.Detail.isEmpty())
        reason = QStringLiteral("\"%1\": %2").arg(Shown(error.Detail), reason);
    // The folder pasted into is named too: its state is as often the reason as the item's.
    const bool intoTarget = !error.Target.isEmpty() && error.Target != error.Path;
    const QString into =
        intoTarget ? QStringLiteral(" to \"%1\"").arg(Shown(error.Target)) : QString();
    switch (error.Step) {
    case S::Copy:
        return QStringLiteral("Cannot copy \"%1\"%2: %3").arg(name, into, reason);
    case S::Move:
        return QStringLiteral("Cannot move \"%1\"%2: %3").arg(name, into, reason);
    case S::Trash:
        return QStringLiteral("Cannot move \"%1\" to the Trash: %2").arg(name, reason);
    case S::Rename:
        return QStringLiteral("Cannot rename \"%1\": %2").arg(name, reason);
    case S::RemoveOriginal:
        return QStringLiteral("\"%1\" was copied, but the original could not be removed: %2")
            .arg(name, reason);
    }
    return reason;
}

QString TFileOperationUi::TrashQuestion(const QList<QByteArray>& paths) {
    if (paths.size() == 1)
        return QStringLiteral("Move \"%1\" to the Trash?")
            .arg(QFile::decodeName(TFileOperations::FileName(paths.front())));
    return QStringLiteral("Move these %1 items to the Trash?").arg(paths.size());
}

TFileOpResult TFileOperationUi::Run(const QString& title,
                                    const std::function<TFileOpResult(TFileOperations&)>& work) {
    TFileOperations ops(Calls);
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QProgressDialog> dialog;
    ops.SetProgressHandler([&](const TFileOpProgress& progress) {
        if (!dialog && clock.elapsed() >= ShowDelayMs) {
            dialog =
                std::make_unique<QProgressDialog>(title, QStringLiteral("Cancel"), 0, 1000, Owner);
            dialog->setWindowTitle(title);
            dialog->setWindowModality(Qt::WindowModal);
            dialog->setMinimumDuration(0);
            dialog->setAutoClose(false);
            dialog->setAutoReset(false);
            dialog->show();
        }
        if (dialog) {
            int value = 0;
            if (progress.BytesTotal > 0)
                value = int(progress.BytesDone * 1000 / progress.BytesTotal);
            else if (progress.ItemsTotal > 0)
                value = progress.ItemsDone * 1000 / progress.ItemsTotal;
            dialog->setValue(std::min(value, 999));
            if (!progress.Current.isEmpty())
                dialog->setLabelText(
                    QFile::decodeName(TFileOperations::FileName(progress.Current)));
        }
        // Keeps the windows painting and lets Cancel be clicked.
        QCoreApplication::processEvents();
        return !(dialog && dialog->wasCanceled());
    });
    int asked = 0;
    ops.SetErrorHandler([&](const TFileOpError& error) {
        ++asked;
        const auto answer = Messages().Question(
            ErrorText(error) + QStringLiteral("\n\nGo on with the remaining items?"),
            TMessages::TButtons(TMessages::mbYes | TMessages::mbNo), TMessages::mbYes,
            dialog ? dialog.get() : Owner);
        return answer == TMessages::mbYes;
    });
    TFileOpResult result = work(ops);
    dialog.reset();
    // The error that ended the work (or the last one) has not been shown yet.
    if (result.Errors.size() > asked)
        Messages().Error(ErrorText(result.Errors.back()), Owner);
    return result;
}

TFileOpResult TFileOperationUi::Transfer(const QList<QByteArray>& sources,
                                         const QByteArray& targetDir, TTransferMode mode) {
    if (sources.isEmpty())
        return {};
    const QString title =
        mode == TTransferMode::Move ? QStringLiteral("Moving") : QStringLiteral("Copying");
    return Run(title, [&](TFileOperations& ops) { return ops.Transfer(sources, targetDir, mode); });
}

TFileOpResult TFileOperationUi::DeleteToTrash(const QList<QByteArray>& paths) {
    if (paths.isEmpty())
        return {};
    if (Messages().Question(TrashQuestion(paths),
                            TMessages::TButtons(TMessages::mbYes | TMessages::mbNo),
                            TMessages::mbYes, Owner) != TMessages::mbYes) {
        TFileOpResult declined;
        declined.Cancelled = true;
        return declined;
    }
    return Run(QStringLiteral("Moving to the Trash"),
               [&](TFileOperations& ops) { return ops.Trash(paths); });
}

std::optional<QByteArray> TFileOperationUi::Rename(const QByteArray& path,
                                                   const QByteArray& newName) {
    using O = TFileOperations::TRenameOutcome;
    TFileOperations ops(Calls);
    auto result = ops.Rename(path, newName);
    if (result.Outcome == O::NameTaken) {
        const QByteArray folder = TFileOperations::FolderOf(path);
        TFileStatus status;
        const bool isDir = Calls.Status(path, status) == 0 && status.IsDir();
        const QByteArray freeName = ops.FreeName(folder, newName, isDir);
        const QString question =
            QStringLiteral("\"%1\" already exists in this folder. Rename \"%2\" to \"%3\" instead?")
                .arg(QFile::decodeName(newName), QFile::decodeName(TFileOperations::FileName(path)),
                     QFile::decodeName(freeName));
        if (Messages().Question(question, TMessages::TButtons(TMessages::mbYes | TMessages::mbNo),
                                TMessages::mbYes, Owner) != TMessages::mbYes)
            return std::nullopt;
        result = ops.Rename(path, freeName);
    }
    switch (result.Outcome) {
    case O::Renamed:
        return result.NewPath;
    case O::Unchanged:
        return TFileOperations::Clean(path);
    case O::InvalidName:
        Messages().Error(QStringLiteral("Cannot rename \"%1\": \"%2\" is not a valid name")
                             .arg(QFile::decodeName(TFileOperations::FileName(path)),
                                  QFile::decodeName(newName)),
                         Owner);
        return std::nullopt;
    case O::NameTaken:
    case O::Failed:
        break;
    }
    Messages().Error(
        ErrorText(
            {TFileOpError::TStep::Rename, TFileOperations::Clean(path), {}, {}, result.Errno}),
        Owner);
    return std::nullopt;
}
