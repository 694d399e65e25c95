#include "Datetime.h"

#include "Calendar.h"
#include "TMaskedEdit.h"
#include "Time.h"

#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The date a field holds in the process's "M/d/yyyy" form, blanks of the mask
// ignored; invalid when it holds none.
QDate FieldDate(const QString& text) {
    const QStringList parts = text.split('/');
    if (parts.size() != 3)
        return {};
    int numbers[3];
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const QString part = parts[i].trimmed();
        numbers[i] = part.toInt(&ok);
        if (!ok || part.isEmpty() || part.startsWith('+') || part.startsWith('-'))
            return {};
    }
    return QDate(numbers[2], numbers[0], numbers[1]);
}

// Where a picker for `field` opens: its top-left corner at the field's bottom-left.
QPoint BelowField(const QWidget* field) {
    return field->mapToGlobal(QPoint(0, field->height()));
}

} // namespace

TFrmDateTime::TFrmDateTime(QWidget* parent)
    : TPickerDialog(
          parent,
          Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint, 0) {
    resize(198, 122);

    edtDate = new TMaskedEdit("90/90/0000", this);
    edtDate->setObjectName("edtDate");
    btntDate = new QPushButton("...", this);
    btntDate->setObjectName("btntDate");
    btntDate->setAutoDefault(false);
    edtTime = new TMaskedEdit("00:00", this);
    edtTime->setObjectName("edtTime");
    btnTime = new QPushButton("...", this);
    btnTime->setObjectName("btnTime");
    btnTime->setAutoDefault(false);
    for (QPushButton* button : {btntDate, btnTime})
        button->setFixedWidth(button->sizeHint().height());
    btnSet = new QPushButton("Set", this);
    btnSet->setObjectName("btnSet");
    btnSet->setDefault(true);
    btnClear = new QPushButton("Clear", this);
    btnClear->setObjectName("btnClear");

    auto* fields = new QGridLayout;
    fields->addWidget(edtDate, 0, 0);
    fields->addWidget(btntDate, 0, 1);
    fields->addWidget(edtTime, 1, 0);
    fields->addWidget(btnTime, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnSet);
    buttons->addWidget(btnClear);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(fields);
    layout->addStretch(1);
    layout->addLayout(buttons);

    connect(btntDate, &QPushButton::clicked, this, &TFrmDateTime::btntDate_OnClick);
    connect(btnTime, &QPushButton::clicked, this, &TFrmDateTime::btnTime_OnClick);
    connect(btnSet, &QPushButton::clicked, this, [this] { done(mrSet); });
    connect(btnClear, &QPushButton::clicked, this, [this] { done(mrClear); });
}

QString TFrmDateTime::DateText() const {
    return edtDate->Text();
}

QString TFrmDateTime::TimeText() const {
    return edtTime->Text();
}

void TFrmDateTime::btntDate_OnClick() {
    TFrmCalendar calendar(this);
    calendar.setWindowTitle("Date");
    calendar.move(BelowField(edtDate));
    const QDate held = FieldDate(edtDate->Text());
    calendar.SetDate(held.isValid() ? held : QDate::currentDate());
    if (calendar.exec() == mrSet) {
        // Plain numbers; the mask shows a one-digit month or day followed by a blank.
        edtDate->setText(
            QString("%1/%2/%3").arg(calendar.Month()).arg(calendar.Day()).arg(calendar.Year()));
    } else {
        edtDate->clear();
    }
    edtDate->setFocus();
}

void TFrmDateTime::btnTime_OnClick() {
    TFrmTime picker(this);
    picker.move(BelowField(edtTime));
    if (picker.exec() == mrSet)
        edtTime->setText(picker.Time().toString("HH:mm"));
    else
        edtTime->clear();
    edtTime->setFocus();
}
