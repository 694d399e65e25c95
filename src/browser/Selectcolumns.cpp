#include "Selectcolumns.h"

#include "PlaceWindow.h"

#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

TFrmSelectColumns::TFrmSelectColumns(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Select Columns"));
    setWindowFlags((windowFlags() | Qt::MSWindowsFixedSizeDialogHint) &
                   ~Qt::WindowContextHelpButtonHint);
    setFixedSize(ClientWidth, ClientHeight);

    lstColumns = new QListWidget(this);
    lstColumns->setObjectName(QStringLiteral("lstColumns"));
    lstColumns->setGeometry(9, 5, 248, 262);
    for (int number = 1; number <= TColumnChoice::Count; ++number) {
        auto* item = new QListWidgetItem(TListColumns::CaptionOf(number), lstColumns);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }

    lblNumSelected = new QLabel(this);
    lblNumSelected->setObjectName(QStringLiteral("lblNumSelected"));
    lblNumSelected->setGeometry(9, 273, 229, 16);

    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setGeometry(ClientWidth - 2 * 80 - 9 - 6, ClientHeight - 25 - 8, 80, 25);
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(ClientWidth - 80 - 9, ClientHeight - 25 - 8, 80, 25);

    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(lstColumns, &QListWidget::itemChanged, this,
            &TFrmSelectColumns::lstColumns_OnClickCheck);
    Form_OnActivate();
}

void TFrmSelectColumns::SetTicks(const TColumnChoice::TTicks& ticks) {
    for (int i = 0; i < lstColumns->count() && i < TColumnChoice::Count; ++i)
        lstColumns->item(i)->setCheckState(ticks[size_t(i)] ? Qt::Checked : Qt::Unchecked);
}

TColumnChoice::TTicks TFrmSelectColumns::Ticks() const {
    TColumnChoice::TTicks ticks{};
    for (int i = 0; i < lstColumns->count() && i < TColumnChoice::Count; ++i)
        ticks[size_t(i)] = lstColumns->item(i)->checkState() == Qt::Checked;
    return ticks;
}

std::optional<TColumnChoice::TTicks> TFrmSelectColumns::Choose(QWidget* owner, QWidget* list,
                                                               const TColumnChoice::TTicks& ticks) {
    TFrmSelectColumns dialog(owner);
    dialog.SetTicks(ticks);
    if (list != nullptr)
        PlaceWindow(&dialog, list, pmWhole);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Ticks();
}

bool TFrmSelectColumns::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate)
        Form_OnActivate();
    return QDialog::event(e);
}

void TFrmSelectColumns::showEvent(QShowEvent* e) {
    // The count is right as soon as the dialog shows, before any click (and on platforms
    // that never activate it).
    Form_OnActivate();
    QDialog::showEvent(e);
}

void TFrmSelectColumns::lstColumns_OnClickCheck(QListWidgetItem*) {
    Form_OnActivate();
}

void TFrmSelectColumns::Form_OnActivate() {
    lblNumSelected->setText(TColumnChoice::CountText(TColumnChoice::CountTicked(Ticks())));
}
