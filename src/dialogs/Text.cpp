#include "Text.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFrmText::TFrmText(QWidget* parent)
    : TPickerDialog(
          parent,
          Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint, 0) {
    setFixedSize(231, 92);

    edtText = new QLineEdit(this);
    edtText->setObjectName("edtText");
    btnSet = new QPushButton("Set", this);
    btnSet->setObjectName("btnSet");
    btnSet->setDefault(true);
    btnClear = new QPushButton("Clear", this);
    btnClear->setObjectName("btnClear");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnSet);
    buttons->addWidget(btnClear);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edtText);
    layout->addLayout(buttons);

    connect(btnSet, &QPushButton::clicked, this, [this] { done(mrSet); });
    connect(btnClear, &QPushButton::clicked, this, [this] { done(mrClear); });
    edtText->setFocus();
}

void TFrmText::SetText(const QString& text) {
    edtText->setText(text);
}

QString TFrmText::Text() const {
    return edtText->text();
}
