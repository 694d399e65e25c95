#pragma once

#include <QString>
#include <QStringList>

// Offers an "Edit Info" action for the program's audio file types in the
// desktop's file managers, running this executable with the file's path as
// argument 1 (single-file mode). Written at every start, so a program that was
// moved fixes its path at the next start; every failure is silent.
//
// "Edit Info" is only ever an additional choice: it must never become the
// application a double click opens. Under the freedesktop association rules any
// application offered for a type becomes its default when no default is named,
// and one in the user's own folders ranks first; so the desktop entry lists no
// types itself, and a type is offered only while another application handles
// it, whose default is then named in the user's list (unless one already is).
//
// Files written (only when their contents change):
// - $XDG_DATA_HOME/applications/cuemark-editinfo.desktop: the desktop entry;
// - $XDG_DATA_HOME/mime/packages/cuemark.xml: the types the system lacks (.tmc as
//   audio/x-cuemark-tmc, *.mp1 as audio/mpeg); update-mime-database is run on
//   that folder when the package changed and the tool is installed;
// - $XDG_CONFIG_HOME/mimeapps.list: the entry in [Added Associations] of each
//   type another application handles, and that application in
//   [Default Applications] when no default is named anywhere;
// - $XDG_DATA_HOME/kio/servicemenus/cuemark-editinfo.desktop: a KDE service menu;
// - $XDG_DATA_HOME/nemo/actions/cuemark-editinfo.nemo_action: a Nemo action.
class TShellIntegration {
public:
    static constexpr const char* DesktopId = "cuemark-editinfo.desktop";

    // Writes everything above for the executable at `executablePath`.
    static void Register(const QString& executablePath);

    // The MIME types the entry is offered for.
    static QStringList MimeTypes();

    // Paths of the files (from the XDG variables in effect).
    static QString DesktopEntryPath();
    static QString MimePackagePath();
    static QString MimeAppsPath();
    static QString KdeServiceMenuPath();
    static QString NemoActionPath();

    // File contents for an executable path.
    static QString DesktopEntryText(const QString& executablePath);
    static QString MimePackageText();
    static QString KdeServiceMenuText(const QString& executablePath);
    static QString NemoActionText(const QString& executablePath);

    // The Exec value that runs the executable with the file path as argument 1
    // (quoted and escaped as desktop entries require).
    static QString ExecLine(const QString& executablePath, const QString& fieldCode);
};
