// Process entry: shell integration, the register switch, binding of the two
// service libraries, then the main window until it closes.

#include "Main.h"
#include "TAudioLibs.h"
#include "TMessages.h"
#include "TSettingsLocation.h"
#include "TShellIntegration.h"

#include <QApplication>
#include <QStringList>

#include <cstdlib>
#include <exception>
#include <memory>

namespace {

const QString ApplicationTitle = QStringLiteral("QAV Cuemark");

// Start-up errors come before the window framework is set up; it is created here
// only when a box is to be shown.
void ShowStartupError(int& argc, char** argv, std::unique_ptr<QApplication>& app,
                      const QString& text) {
    if (!app && !TQtMessages::NonInteractive() && QApplication::instance() == nullptr) {
        app = std::make_unique<QApplication>(argc, argv);
        QApplication::setApplicationDisplayName(ApplicationTitle);
    }
    Messages().Error(text);
}

bool IsRegisterSwitch(const QString& argument) {
    const QString lower = argument.toLower();
    return lower == QLatin1String("/register") || lower == QLatin1String("register");
}

int Run(int& argc, char** argv, std::unique_ptr<QApplication>& app) {
    // Arguments 1 onwards as the process received them (the framework later strips
    // its own options from argv, but a file name must reach the window unchanged).
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

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
    QApplication::setApplicationName(QStringLiteral("cuemark"));
    QApplication::setApplicationDisplayName(ApplicationTitle);
    {
        auto window = std::make_unique<TFrmMain>(arguments);
        window->show();
        QApplication::exec();
    }
    binder.Release(); // tagging library first, then playback
    return 0;
}

} // namespace

int main(int argc, char** argv) {
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
