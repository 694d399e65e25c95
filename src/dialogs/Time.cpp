#include "Time.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {

const char* const Format24 = "HH:mm";
const char* const Format12 = "hh:mm AP";

} // namespace

TFrmTime::TFrmTime(QWidget* parent)
    : TFrmTime(parent, Qt::Dialog | Qt::CustomizeWindowHint, QSize(175, 109), mrCancel, mrCancel) {}

TFrmTime::TFrmTime(QWidget* parent, Qt::WindowFlags flags, QSize size, int clearResult,
                   int escResult)
    : TPickerDialog(parent, flags, escResult) {
    setFixedSize(size);

    rbtn24hour = new QRadioButton("24 Hour", this);
    rbtn24hour->setObjectName("rbtn24hour");
    rbtn24hour->setChecked(true);
    rbtn12hour = new QRadioButton("12 Hour", this);
    rbtn12hour->setObjectName("rbtn12hour");
    dtTime = new QTimeEdit(this);
    dtTime->setObjectName("dtTime");
    // AM/PM in the 12-hour display whatever the user's locale.
    dtTime->setLocale(QLocale::c());
    dtTime->setDisplayFormat(Format24);
    dtTime->setTime(QTime(0, 0));
    btnSet = new QPushButton("Set", this);
    btnSet->setObjectName("btnSet");
    btnSet->setDefault(true);
    btnClear = new QPushButton("Clear", this);
    btnClear->setObjectName("btnClear");

    auto* clocks = new QHBoxLayout;
    clocks->addWidget(rbtn24hour);
    clocks->addWidget(rbtn12hour);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnSet);
    buttons->addWidget(btnClear);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(4);
    layout->addLayout(clocks);
    layout->addWidget(dtTime);
    layout->addLayout(buttons);

    connect(rbtn24hour, &QRadioButton::clicked, this, &TFrmTime::rbtn24hour_OnClick);
    connect(rbtn12hour, &QRadioButton::clicked, this, &TFrmTime::rbtn12hour_OnClick);
    connect(btnSet, &QPushButton::clicked, this, [this] { done(mrSet); });
    connect(btnClear, &QPushButton::clicked, this, [this, clearResult] { done(clearResult); });
    dtTime->setFocus();
}

void TFrmTime::SetTime(const QTime& time) {
    if (time.isValid())
        dtTime->setTime(QTime(time.hour(), time.minute()));
}

QTime TFrmTime::Time() const {
    return dtTime->time();
}

void TFrmTime::rbtn24hour_OnClick() {
    dtTime->setDisplayFormat(Format24);
}

void TFrmTime::rbtn12hour_OnClick() {
    dtTime->setDisplayFormat(Format12);
}
