#pragma once

#include <QFlags>
#include <QPoint>
#include <QString>
#include <optional>

class QWidget;

// The one seam through which the program shows every message box. Widget-free, so that
// the rules that report errors (audition, markers, the tag-file session's callers) build
// without Qt Widgets; the widget implementation is TQtMessages.
//
// Until the program installs its standard implementation (SetStandardMessages), every
// call writes its line to standard error and takes the unattended answer, as
// CUEMARK_NONINTERACTIVE does. Tests can install a scripted implementation
// (TScriptedMessages) that records the texts and returns queued answers.
//
// `parent` owns the box (it is centred over the parent's window); `topLeft`, when
// given, places the box's top-left corner at that point in global coordinates.
class TMessages {
public:
    enum TButton { mbNone = 0x0, mbOk = 0x1, mbCancel = 0x2, mbYes = 0x4, mbNo = 0x8 };
    Q_DECLARE_FLAGS(TButtons, TButton)

    virtual ~TMessages() = default;

    // Error box with one OK button.
    virtual void Error(const QString& text, QWidget* parent = nullptr,
                       std::optional<QPoint> topLeft = std::nullopt) = 0;
    // Information box with one OK button.
    virtual void Information(const QString& text, QWidget* parent = nullptr,
                             std::optional<QPoint> topLeft = std::nullopt) = 0;
    // Confirmation box; returns the button chosen (for a box closed without a
    // choice: Cancel when offered, else No, else the default button).
    virtual TButton Question(const QString& text, TButtons buttons = TButtons(mbYes | mbNo),
                             TButton defaultButton = mbYes, QWidget* parent = nullptr,
                             std::optional<QPoint> topLeft = std::nullopt) = 0;
    // Same as Question; the name the callers of confirmation boxes use.
    TButton Confirm(const QString& text, TButtons buttons = TButtons(mbYes | mbNo),
                    TButton defaultButton = mbYes, QWidget* parent = nullptr,
                    std::optional<QPoint> topLeft = std::nullopt) {
        return Question(text, buttons, defaultButton, parent, topLeft);
    }

    // True when CUEMARK_NONINTERACTIVE is set.
    static bool NonInteractive();
    // The answer a question takes without a user: No, else Cancel, else the default
    // button, else OK.
    static TButton UnattendedAnswer(TButtons buttons, TButton defaultButton);
    // The standard error line of a box: "cuemark: KIND: TEXT", line breaks as blanks.
    static void WriteLine(const char* kind, const QString& text);
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TMessages::TButtons)

// The implementation in use: the one installed with SetMessages, else the standard one.
TMessages& Messages();
// Install an implementation (not owned; it must outlive its use); nullptr goes
// back to the standard one. Returns the previously installed one (or nullptr).
TMessages* SetMessages(TMessages* messages);
// The standard implementation (the program installs TQtMessages at start); nullptr goes
// back to the unattended one. Returns the previous standard one (or nullptr).
TMessages* SetStandardMessages(TMessages* messages);
