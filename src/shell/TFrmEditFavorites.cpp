#include "TFrmEditFavorites.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TFrmEditFavorites::TFrmEditFavorites(QWidget* parent) : QDialog(parent) {
    setObjectName("FrmEditFavorites");
    setWindowTitle(QStringLiteral("Edit Favorites"));
    setSizeGripEnabled(true);
    setMinimumSize(350, 200);
    resize(350, 200);

    lstPaths = new QListWidget(this);
    lstPaths->setObjectName("lstPaths");
    lstPaths->setSelectionMode(QAbstractItemView::SingleSelection);
    btnRemove = new QPushButton(QStringLiteral("Remove"), this);
    btnRemove->setObjectName("btnRemove");
    btnRemove->setEnabled(false);
    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName("btnOk");
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName("btnCancel");
    for (QPushButton* button : {btnRemove, btnOk, btnCancel}) {
        button->setFixedSize(80, 25);
        button->setAutoDefault(false);
    }

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnRemove);
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lstPaths, 1);
    layout->addLayout(buttons);

    connect(lstPaths, &QListWidget::itemSelectionChanged, this,
            &TFrmEditFavorites::lstPaths_OnClick);
    connect(btnRemove, &QPushButton::clicked, this, &TFrmEditFavorites::btnRemove_OnClick);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFrmEditFavorites::SetPaths(const QStringList& paths) {
    lstPaths->clear();
    lstPaths->addItems(paths);
}

QStringList TFrmEditFavorites::Paths() const {
    QStringList paths;
    for (int i = 0; i < lstPaths->count(); ++i)
        paths.append(lstPaths->item(i)->text());
    return paths;
}

void TFrmEditFavorites::lstPaths_OnClick() {
    // Enabled by a selection; a removal does not disable it again.
    if (!lstPaths->selectedItems().isEmpty())
        btnRemove->setEnabled(true);
}

void TFrmEditFavorites::btnRemove_OnClick() {
    const QList<QListWidgetItem*> selected = lstPaths->selectedItems();
    if (selected.isEmpty())
        return;
    delete lstPaths->takeItem(lstPaths->row(selected.front()));
}
