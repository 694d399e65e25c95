#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Find": which column to search ("File Name" or one of the information columns shown) and
// the text to find. However it closes, its choice is searched: Cancel with a text still
// searches, as the list's users expect.
class TFrmFind : public QDialog {
    Q_OBJECT

public:
    explicit TFrmFind(QWidget* parent = nullptr);

    // "File Name" followed by `captions` (the information columns in list order); the first
    // entry is selected.
    void SetColumns(const QStringList& captions);

    // The search the dialog closed with: index 0 is the file name, k the k-th information
    // column of the list; Text as typed.
    struct TChoice {
        int ColumnIndex = 0;
        QString Text;
    };
    TChoice Choice() const;

    // Shows the dialog over the lower-left quarter of `toolBar` (kept on its screen) and
    // answers the choice it closed with.
    static TChoice Ask(QWidget* owner, QWidget* toolBar, const QStringList& captions);

    QLabel* lblColumn;
    QComboBox* cboColumn;
    QLabel* lblFind;
    QLineEdit* edtFind;
    QPushButton* btnOk;
    QPushButton* btnCancel;

protected:
    void showEvent(QShowEvent* e) override;
};
