#pragma once

#include "TMessages.h"

#include <utility>

// The program's message boxes: a QMessageBox of the right kind, titled with the
// application's title, and one line on standard error ("cuemark: error: TEXT",
// "info:", "question:"). When CUEMARK_NONINTERACTIVE is set, or before an application
// object exists, no box is shown and each call takes its unattended answer.
//
// The boxes carry `title` (the program sets its own title here rather than as the
// application's display name, which the platform would append to every window's caption);
// without one, the application's display name.
class TQtMessages : public TMessages {
public:
    explicit TQtMessages(QString title = QString()) : Title(std::move(title)) {}

    void Error(const QString& text, QWidget* parent = nullptr,
               std::optional<QPoint> topLeft = std::nullopt) override;
    void Information(const QString& text, QWidget* parent = nullptr,
                     std::optional<QPoint> topLeft = std::nullopt) override;
    TButton Question(const QString& text, TButtons buttons = TButtons(mbYes | mbNo),
                     TButton defaultButton = mbYes, QWidget* parent = nullptr,
                     std::optional<QPoint> topLeft = std::nullopt) override;

private:
    TButton Show(int icon, const QString& text, TButtons buttons, TButton defaultButton,
                 QWidget* parent, std::optional<QPoint> topLeft) const;

    QString Title;
};
