#include "TQtMessages.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<TMessages::TButton, QMessageBox::StandardButton>, 4> ButtonMap{{
    {TMessages::mbOk, QMessageBox::Ok},
    {TMessages::mbCancel, QMessageBox::Cancel},
    {TMessages::mbYes, QMessageBox::Yes},
    {TMessages::mbNo, QMessageBox::No},
}};

QMessageBox::StandardButtons ToQt(TMessages::TButtons buttons) {
    QMessageBox::StandardButtons qt;
    for (const auto& [ours, theirs] : ButtonMap)
        if (buttons.testFlag(ours))
            qt |= theirs;
    return qt;
}

QMessageBox::StandardButton ToQt(TMessages::TButton button) {
    for (const auto& [ours, theirs] : ButtonMap)
        if (ours == button)
            return theirs;
    return QMessageBox::NoButton;
}

TMessages::TButton FromQt(int button) {
    for (const auto& [ours, theirs] : ButtonMap)
        if (theirs == button)
            return ours;
    return TMessages::mbNone;
}

} // namespace

TMessages::TButton TQtMessages::Show(int icon, const QString& text, TButtons buttons,
                                     TButton defaultButton, QWidget* parent,
                                     std::optional<QPoint> topLeft) const {
    // Without an application object no box can be shown (start-up errors before
    // the framework exists are shown by start-up itself after creating it).
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        return TMessages::UnattendedAnswer(buttons, defaultButton);
    QMessageBox box(QMessageBox::Icon(icon),
                    Title.isEmpty() ? QApplication::applicationDisplayName() : Title, text,
                    ToQt(buttons), parent != nullptr ? parent->window() : nullptr);
    box.setDefaultButton(ToQt(defaultButton));
    if (topLeft) {
        box.adjustSize();
        box.move(*topLeft);
    }
    const TMessages::TButton chosen = FromQt(box.exec());
    if (chosen != TMessages::mbNone && buttons.testFlag(chosen))
        return chosen;
    if (buttons.testFlag(TMessages::mbCancel))
        return TMessages::mbCancel;
    if (buttons.testFlag(TMessages::mbNo))
        return TMessages::mbNo;
    return defaultButton;
}

void TQtMessages::Error(const QString& text, QWidget* parent, std::optional<QPoint> topLeft) {
    WriteLine("error", text);
    if (!NonInteractive())
        Show(QMessageBox::Critical, text, mbOk, mbOk, parent, topLeft);
}

void TQtMessages::Information(const QString& text, QWidget* parent, std::optional<QPoint> topLeft) {
    WriteLine("info", text);
    if (!NonInteractive())
        Show(QMessageBox::Information, text, mbOk, mbOk, parent, topLeft);
}

TMessages::TButton TQtMessages::Question(const QString& text, TButtons buttons,
                                         TButton defaultButton, QWidget* parent,
                                         std::optional<QPoint> topLeft) {
    WriteLine("question", text);
    if (NonInteractive())
        return UnattendedAnswer(buttons, defaultButton);
    return Show(QMessageBox::Question, text, buttons, defaultButton, parent, topLeft);
}
