#pragma once

#include <QPlainTextEdit>

// A multi-line text field with a vertical scroll bar and an optional limit on what the
// user can type. Text() gives line breaks as CR LF, as stored in the files; SetText
// accepts CR LF or LF. A longer text set by the program is kept whole.
class TMemo : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit TMemo(QWidget* parent = nullptr);

    QString Text() const;
    void SetText(const QString& text);

    // Most characters the user can type (line breaks count two; a character outside the
    // basic plane counts one); 0 = no limit.
    int MaxLength() const { return Limit; }
    void SetMaxLength(int limit) { Limit = limit; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    // Characters that may still be typed, replacing the selection; -1 when unlimited.
    int Room() const;

    int Limit = 0;
};
