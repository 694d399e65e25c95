#pragma once

#include <QWidget>

class QToolButton;

// Up-down arrows beside an edit. They keep no value of their own: each click (or
// auto-repeat step while held) reports its direction, and the owner decides what the
// step changes, typically starting from the text of the edit beside it.
class TUpDown : public QWidget {
    Q_OBJECT

public:
    enum class TDirection { Up, Down };

    explicit TUpDown(QWidget* parent = nullptr);

    QToolButton* UpButton() const { return Up; }
    QToolButton* DownButton() const { return Down; }

signals:
    void Changing(TUpDown::TDirection direction);

private:
    QToolButton* Up = nullptr;
    QToolButton* Down = nullptr;
};
