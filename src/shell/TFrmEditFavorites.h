#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;
class QPushButton;

// "Edit Favorites": the user's favorites in a list; "Remove" takes the selected one out,
// "OK" keeps what is left, "Cancel" changes nothing.
class TFrmEditFavorites : public QDialog {
    Q_OBJECT

public:
    explicit TFrmEditFavorites(QWidget* parent = nullptr);

    void SetPaths(const QStringList& paths);
    QStringList Paths() const;

    QListWidget* lstPaths;
    QPushButton* btnRemove;
    QPushButton* btnOk;
    QPushButton* btnCancel;

private:
    void lstPaths_OnClick();
    void btnRemove_OnClick();
};
