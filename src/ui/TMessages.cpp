#include "TMessages.h"

#include <QByteArray>
#include <cstdio>

namespace {

// Without a user interface every box is only its line on standard error.
class TUnattendedMessages : public TMessages {
public:
    void Error(const QString& text, QWidget*, std::optional<QPoint>) override {
        WriteLine("error", text);
    }
    void Information(const QString& text, QWidget*, std::optional<QPoint>) override {
        WriteLine("info", text);
    }
    TButton Question(const QString& text, TButtons buttons, TButton defaultButton, QWidget*,
                     std::optional<QPoint>) override {
        WriteLine("question", text);
        return UnattendedAnswer(buttons, defaultButton);
    }
};

TMessages* Installed = nullptr;
TMessages* Standard = nullptr;

} // namespace

TMessages& Messages() {
    static TUnattendedMessages unattended;
    if (Installed != nullptr)
        return *Installed;
    return Standard != nullptr ? *Standard : unattended;
}

TMessages* SetMessages(TMessages* messages) {
    TMessages* previous = Installed;
    Installed = messages;
    return previous;
}

TMessages* SetStandardMessages(TMessages* messages) {
    TMessages* previous = Standard;
    Standard = messages;
    return previous;
}

bool TMessages::NonInteractive() {
    return qEnvironmentVariableIsSet("CUEMARK_NONINTERACTIVE");
}

TMessages::TButton TMessages::UnattendedAnswer(TButtons buttons, TButton defaultButton) {
    if (buttons.testFlag(mbNo))
        return mbNo;
    if (buttons.testFlag(mbCancel))
        return mbCancel;
    if (defaultButton != mbNone)
        return defaultButton;
    return mbOk;
}

void TMessages::WriteLine(const char* kind, const QString& text) {
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    std::fprintf(stderr, "cuemark: %s: %s\n", kind, line.toUtf8().constData());
    std::fflush(stderr);
}
