#include "TScriptedMessages.h"

TScriptedMessages::TScriptedMessages() {
    Previous = SetMessages(this);
}

TScriptedMessages::~TScriptedMessages() {
    SetMessages(Previous);
}

void TScriptedMessages::Error(const QString& text, QWidget* parent, std::optional<QPoint> topLeft) {
    Log.append({TKind::Error, text, mbOk, mbOk, parent, topLeft});
}

void TScriptedMessages::Information(const QString& text, QWidget* parent,
                                    std::optional<QPoint> topLeft) {
    Log.append({TKind::Information, text, mbOk, mbOk, parent, topLeft});
}

TMessages::TButton TScriptedMessages::Question(const QString& text, TButtons buttons,
                                               TButton defaultButton, QWidget* parent,
                                               std::optional<QPoint> topLeft) {
    Log.append({TKind::Question, text, buttons, defaultButton, parent, topLeft});
    if (Answers.empty())
        return UnattendedAnswer(buttons, defaultButton);
    const TButton answer = Answers.front();
    Answers.pop_front();
    return answer;
}

QStringList TScriptedMessages::Texts() const {
    QStringList texts;
    for (const TRecord& record : Log)
        texts.append(record.Text);
    return texts;
}

QStringList TScriptedMessages::Texts(TKind kind) const {
    QStringList texts;
    for (const TRecord& record : Log)
        if (record.Kind == kind)
            texts.append(record.Text);
    return texts;
}
