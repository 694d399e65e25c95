#include "TSettingsLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString XdgHome(const char* variable, const QString& fallbackBelowHome) {
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(QDir::homePath() + QLatin1Char('/') + fallbackBelowHome);
}

} // namespace

QString TSettingsLocation::ExecutablePath() {
    const QString path = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return path;
}

QString TSettingsLocation::ExecutableDir() {
    return QFileInfo(ExecutablePath()).absolutePath();
}

QString TSettingsLocation::ConfigHome() {
    return XdgHome("XDG_CONFIG_HOME", QStringLiteral(".config"));
}

QString TSettingsLocation::DataHome() {
    return XdgHome("XDG_DATA_HOME", QStringLiteral(".local/share"));
}

QString TSettingsLocation::ConfigDir() {
    return ConfigHome() + QStringLiteral("/cuemark");
}

QString TSettingsLocation::SettingsFilePath() {
    static const QString fileName = QStringLiteral("Cuemark.ini");
    const QString overrideDir = qEnvironmentVariable("CUEMARK_SETTINGS_DIR");
    if (!overrideDir.isEmpty())
        return QDir(overrideDir).absoluteFilePath(fileName);

    const QString exeDir = ExecutableDir();
    const QFileInfo dirInfo(exeDir);
    const QFileInfo iniInfo(exeDir + QLatin1Char('/') + fileName);
    if (!exeDir.isEmpty() && dirInfo.isDir() && dirInfo.isWritable() &&
        (!iniInfo.exists() || iniInfo.isWritable()))
        return iniInfo.absoluteFilePath();
    return ConfigDir() + QLatin1Char('/') + fileName;
}
