#pragma once

#include "TColumnChoice.h"

#include <QDialog>

#include <optional>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// "Select Columns": the information columns in number order (the 34 of the tags, then the
// loudness columns) as a check list, a label
// counting the ticks, OK and Cancel. Fixed size; its ticks start from the list's columns each
// time it opens.
class TFrmSelectColumns : public QDialog {
    Q_OBJECT

public:
    static constexpr int ClientWidth = 266;
    static constexpr int ClientHeight = 329;

    explicit TFrmSelectColumns(QWidget* parent = nullptr);

    void SetTicks(const TColumnChoice::TTicks& ticks);
    TColumnChoice::TTicks Ticks() const;

    // Shows the dialog centred over `list` (kept on its screen) with `ticks`; the ticks the
    // user confirmed with OK, nothing for Cancel, Esc or the close box.
    static std::optional<TColumnChoice::TTicks> Choose(QWidget* owner, QWidget* list,
                                                       const TColumnChoice::TTicks& ticks);

    QListWidget* lstColumns;
    QLabel* lblNumSelected;
    QPushButton* btnOk;
    QPushButton* btnCancel;

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void lstColumns_OnClickCheck(QListWidgetItem* item);
    void Form_OnActivate();
};
