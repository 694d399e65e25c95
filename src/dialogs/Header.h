#pragma once

#include "TPickerDialog.h"

class QPlainTextEdit;
class QPushButton;

// The read-only window that shows the header dump of the current file, centred on
// the desktop. "Done" and Esc give 1.
class TFrmHeader : public TPickerDialog {
    Q_OBJECT

public:
    explicit TFrmHeader(QWidget* parent = nullptr);

    void SetText(const QString& text);

    QPlainTextEdit* mmoHeader;
    QPushButton* btnDone;
};
