#include "TMessages.h"

#include <QApplication>
#include <QWidget>
#include <cstdio>

namespace {

TMessages* Installed = nullptr;

void WriteLine(const char* kind, const QString& text) {
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    std::fprintf(stderr, "cuemark: %s: %s\n", kind, line.toUtf8().constData());
    std::fflush(stderr);
}

TMessages::TButton Show(QMessageBox::Icon icon, const QString& text, TMessages::TButtons buttons,
                        TMessages::TButton defaultButton, QWidget* parent,
                        std::optional<QPoint> topLeft) {
    // Without an application object no box can be shown (start-up errors before
    // the framework exists are shown by start-up itself after creating it).
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        return TQtMessages::UnattendedAnswer(buttons, defaultButton);
    QMessageBox box(icon, QApplication::applicationDisplayName(), text, buttons,
                    parent != nullptr ? parent->window() : nullptr);
    box.setDefaultButton(defaultButton);
    if (topLeft) {
        box.adjustSize();
        box.move(*topLeft);
    }
    const int answer = box.exec();
    const auto chosen = static_cast<TMessages::TButton>(answer);
    if (buttons.testFlag(chosen))
        return chosen;
    if (buttons.testFlag(QMessageBox::Cancel))
        return QMessageBox::Cancel;
    if (buttons.testFlag(QMessageBox::No))
        return QMessageBox::No;
    return defaultButton;
}

} // namespace

TMessages& Messages() {
    static TQtMessages standard;
    return Installed != nullptr ? *Installed : standard;
}

TMessages* SetMessages(TMessages* messages) {
    TMessages* previous = Installed;
    Installed = messages;
    return previous;
}

bool TQtMessages::NonInteractive() {
    return qEnvironmentVariableIsSet("CUEMARK_NONINTERACTIVE");
}

TMessages::TButton TQtMessages::UnattendedAnswer(TButtons buttons, TButton defaultButton) {
    if (buttons.testFlag(QMessageBox::No))
        return QMessageBox::No;
    if (buttons.testFlag(QMessageBox::Cancel))
        return QMessageBox::Cancel;
    if (defaultButton != QMessageBox::NoButton)
        return defaultButton;
    return QMessageBox::Ok;
}

void TQtMessages::Error(const QString& text, QWidget* parent, std::optional<QPoint> topLeft) {
    WriteLine("error", text);
    if (!NonInteractive())
        Show(QMessageBox::Critical, text, QMessageBox::Ok, QMessageBox::Ok, parent, topLeft);
}

void TQtMessages::Information(const QString& text, QWidget* parent, std::optional<QPoint> topLeft) {
    WriteLine("info", text);
    if (!NonInteractive())
        Show(QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok, parent, topLeft);
}

TMessages::TButton TQtMessages::Question(const QString& text, TButtons buttons,
                                         TButton defaultButton, QWidget* parent,
                                         std::optional<QPoint> topLeft) {
    WriteLine("question", text);
    if (NonInteractive())
        return UnattendedAnswer(buttons, defaultButton);
    return Show(QMessageBox::Question, text, buttons, defaultButton, parent, topLeft);
}
