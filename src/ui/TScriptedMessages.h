#pragma once

#include "TMessages.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <deque>

// A message seam for tests: records every box instead of showing it and answers
// questions from a queue. Installs itself on construction and restores the
// previous implementation on destruction.
class TScriptedMessages : public TMessages {
public:
    enum class TKind { Error, Information, Question };
    struct TRecord {
        TKind Kind;
        QString Text;
        TButtons Buttons;      // OK for error and information boxes
        TButton DefaultButton; // OK for error and information boxes
        QWidget* Parent;
        std::optional<QPoint> TopLeft;
    };

    TScriptedMessages();
    ~TScriptedMessages() override;
    TScriptedMessages(const TScriptedMessages&) = delete;
    TScriptedMessages& operator=(const TScriptedMessages&) = delete;

    void Error(const QString& text, QWidget* parent = nullptr,
               std::optional<QPoint> topLeft = std::nullopt) override;
    void Information(const QString& text, QWidget* parent = nullptr,
                     std::optional<QPoint> topLeft = std::nullopt) override;
    // Answers with the next queued answer; with none queued, with the unattended
    // answer (No, else Cancel, else the default button).
    TButton Question(const QString& text, TButtons buttons = TButtons(mbYes | mbNo),
                     TButton defaultButton = mbYes, QWidget* parent = nullptr,
                     std::optional<QPoint> topLeft = std::nullopt) override;

    // Queue the answer for the next question.
    void QueueAnswer(TButton answer) { Answers.push_back(answer); }

    const QList<TRecord>& Records() const { return Log; }
    // Texts of all boxes in order.
    QStringList Texts() const;
    // Texts of the boxes of one kind in order.
    QStringList Texts(TKind kind) const;
    void Clear() {
        Log.clear();
        Answers.clear();
    }

private:
    QList<TRecord> Log;
    std::deque<TButton> Answers;
    TMessages* Previous = nullptr;
};
