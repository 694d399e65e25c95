#include "TDesktopLauncher.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

bool TDesktopLauncher::Open(const QByteArray& path, QString& reason) {
    const QString launcher = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (launcher.isEmpty()) {
        reason = QStringLiteral("the desktop's launcher (xdg-open) is not installed");
        return false;
    }
    QProcess process;
    process.setProgram(launcher);
    // A path is handed over as a path, never as text that could be read as an option or a URL.
    process.setArguments({QFile::decodeName(path.startsWith('/') ? path : "./" + path)});
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached()) {
        reason = process.errorString();
        return false;
    }
    return true;
}
