#pragma once

#include <QMessageBox>
#include <QPoint>
#include <QString>
#include <optional>

class QWidget;

// The one seam through which the program shows every message box.
//
// The standard implementation (TQtMessages) shows a QMessageBox of the right
// kind and also writes one line to standard error: "cuemark: error: TEXT"
// ("info:", "question:"); line breaks in TEXT are written as blanks. When the
// environment variable CUEMARK_NONINTERACTIVE is set, no box is shown and each
// call takes its default answer: OK, and for questions No (else Cancel, else the
// given default button). Tests can install a scripted implementation
// (TScriptedMessages) that records the texts and returns queued answers.
//
// `parent` owns the box (it is centred over the parent's window); `topLeft`, when
// given, places the box's top-left corner at that point in global coordinates.
class TMessages {
public:
    using TButton = QMessageBox::StandardButton;
    using TButtons = QMessageBox::StandardButtons;

    virtual ~TMessages() = default;

    // Error box with one OK button.
    virtual void Error(const QString& text, QWidget* parent = nullptr,
                       std::optional<QPoint> topLeft = std::nullopt) = 0;
    // Information box with one OK button.
    virtual void Information(const QString& text, QWidget* parent = nullptr,
                             std::optional<QPoint> topLeft = std::nullopt) = 0;
    // Confirmation box; returns the button chosen (for a box closed without a
    // choice: Cancel when offered, else No, else the default button).
    virtual TButton Question(const QString& text,
                             TButtons buttons = QMessageBox::Yes | QMessageBox::No,
                             TButton defaultButton = QMessageBox::Yes, QWidget* parent = nullptr,
                             std::optional<QPoint> topLeft = std::nullopt) = 0;
    // Same as Question; the name the callers of confirmation boxes use.
    TButton Confirm(const QString& text, TButtons buttons = QMessageBox::Yes | QMessageBox::No,
                    TButton defaultButton = QMessageBox::Yes, QWidget* parent = nullptr,
                    std::optional<QPoint> topLeft = std::nullopt) {
        return Question(text, buttons, defaultButton, parent, topLeft);
    }
};

// The implementation in use: the one installed with SetMessages, else a
// process-wide TQtMessages.
TMessages& Messages();
// Install an implementation (not owned; it must outlive its use); nullptr goes
// back to the standard one. Returns the previously installed one (or nullptr).
TMessages* SetMessages(TMessages* messages);

// The standard implementation described above.
class TQtMessages : public TMessages {
public:
    void Error(const QString& text, QWidget* parent = nullptr,
               std::optional<QPoint> topLeft = std::nullopt) override;
    void Information(const QString& text, QWidget* parent = nullptr,
                     std::optional<QPoint> topLeft = std::nullopt) override;
    TButton Question(const QString& text, TButtons buttons = QMessageBox::Yes | QMessageBox::No,
                     TButton defaultButton = QMessageBox::Yes, QWidget* parent = nullptr,
                     std::optional<QPoint> topLeft = std::nullopt) override;

    // True when CUEMARK_NONINTERACTIVE is set.
    static bool NonInteractive();
    // The answer a question takes without a user (see above).
    static TButton UnattendedAnswer(TButtons buttons, TButton defaultButton);
};
