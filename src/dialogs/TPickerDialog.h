#pragma once

#include <QDialog>

// Base of the small modal windows that pick one value for a caller. It fixes the
// modal results they share: closing the window by the system gives the cancel
// result 2, and Esc either triggers the window's Esc result or does nothing.
class TPickerDialog : public QDialog {
    Q_OBJECT

public:
    enum TResult : int { mrSet = 1, mrCancel = 2, mrClear = 3 };

protected:
    // `escResult` is the result Esc gives; 0 makes Esc do nothing.
    TPickerDialog(QWidget* parent, Qt::WindowFlags flags, int escResult);

    void keyPressEvent(QKeyEvent* event) override;

public:
    // Closing by the system (and QDialog's own reject paths) give the cancel result.
    void reject() override;

private:
    int EscResult;
};
