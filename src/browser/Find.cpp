#include "Find.h"

#include "PlaceWindow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFrmFind::TFrmFind(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Find"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    lblColumn = new QLabel(QStringLiteral("Search Column"), this);
    cboColumn = new QComboBox(this);
    cboColumn->setObjectName(QStringLiteral("cboColumn"));
    cboColumn->setEditable(false);
    cboColumn->setMinimumWidth(220);
    lblColumn->setBuddy(cboColumn);
    lblFind = new QLabel(QStringLiteral("Text To Find"), this);
    edtFind = new QLineEdit(this);
    edtFind->setObjectName(QStringLiteral("edtFind"));
    lblFind->setBuddy(edtFind);
    btnOk = new QPushButton(QStringLiteral("Find"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblColumn);
    layout->addWidget(cboColumn);
    layout->addWidget(lblFind);
    layout->addWidget(edtFind);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    SetColumns({});
}

void TFrmFind::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    // The user types the text first.
    edtFind->setFocus(Qt::OtherFocusReason);
}

void TFrmFind::SetColumns(const QStringList& captions) {
    cboColumn->clear();
    cboColumn->addItem(QStringLiteral("File Name"));
    cboColumn->addItems(captions);
    cboColumn->setCurrentIndex(0);
}

TFrmFind::TChoice TFrmFind::Choice() const {
    return {qMax(0, cboColumn->currentIndex()), edtFind->text()};
}

TFrmFind::TChoice TFrmFind::Ask(QWidget* owner, QWidget* toolBar, const QStringList& captions) {
    TFrmFind dialog(owner);
    dialog.SetColumns(captions);
    dialog.adjustSize();
    if (toolBar != nullptr)
        PlaceWindow(&dialog, toolBar, pmLowerLeft);
    dialog.exec();
    return dialog.Choice();
}
