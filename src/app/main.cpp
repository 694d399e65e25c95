// Process entry: shell integration, the register switch, binding of the two
// service libraries, then the main window until it closes.

#include "Main.h"
#include "TAudioLibs.h"
#include "TMessages.h"
#include "TQtMessages.h"
#include "TSettingsLocation.h"
#include "TShellIntegration.h"

#include <QApplication>
#include <QByteArray>
#include <QList>

#include <cstdlib>
#include <exception>
#include <memory>

namespace {

const QString ApplicationTitle = QStringLiteral("QAV Cuemark");

// Start-up errors come before the window framework is set up; it is created here
// only when a box is to be shown.
void ShowStartupError(int& argc, char** argv, std::unique_ptr<QApplication>& app,
                      const QString& text) {
    if (!app && !TMessages::NonInteractive() && QApplication::instance() == nullptr)
        app = std::make_unique<QApplication>(argc, argv);
    Messages().Error(text);
}

bool IsRegisterSwitch(const QByteArray& argument) {
    const QByteArray lower = argument.toLower();
    return lower == "/register" || lower == "register";
}

int Run(int& argc, char** argv, std::unique_ptr<QApplication>& app) {
    // Arguments 1 onwards as the bytes the process received: the framework later strips
    // its own options from argv, and a file name must reach the libraries unchanged even
    // when it is not valid in any text encoding.
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));

    TShellIntegration::Register(TSettingsLocation::ExecutablePath());

    if (!arguments.isEmpty() && IsRegisterSwitch(arguments.first()))
        return -1;

    // The playback library's audio back end would otherwise catch SIGINT and
    // SIGTERM for an event queue nobody reads, and the program could not be ended
    // by a signal. A value set by the user is kept.
    setenv("SDL_NO_SIGNAL_HANDLERS", "1", 0);

    TAudioLibsBinder binder;
    const TAudioLibsBinder::TResult bound = binder.Load();
    if (bound.Outcome != TAudioLibsBinder::TOutcome::Bound) {
        // A library already loaded stays loaded; ending the process frees it.
        ShowStartupError(argc, argv, app, QString::fromLocal8Bit(bound.Message.c_str()));
        return bound.ExitCode;
    }

    app = std::make_unique<QApplication>(argc, argv);
    // No display name: the platform would append it to every caption, and the captions
    // are exactly the windows' own.
    QApplication::setApplicationName(QStringLiteral("cuemark"));
    {
        auto window = std::make_unique<TFrmMain>(arguments, nullptr,
                                                 TFrmMain::TStartFolderOpening::AfterShow);
        window->show();
        QApplication::exec();
    }
    binder.Release(); // tagging library first, then playback
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    TQtMessages boxes(ApplicationTitle);
    SetStandardMessages(&boxes);
    std::unique_ptr<QApplication> app;
    try {
        return Run(argc, argv, app);
    } catch (const std::exception& error) {
        ShowStartupError(argc, argv, app, QString::fromLocal8Bit(error.what()));
    } catch (...) {
        ShowStartupError(argc, argv, app, QStringLiteral("Unknown exception"));
    }
    return 0;
}
