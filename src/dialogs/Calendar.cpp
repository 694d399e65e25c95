#include "Calendar.h"

#include "TMonthGrid.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Fixed English month names: the label reads "March 2004" whatever the locale.
const char* const MonthNames[13] = {"",        "January",  "February", "March",  "April",
                                    "May",     "June",     "July",     "August", "September",
                                    "October", "November", "December"};

} // namespace

TFrmCalendar::TFrmCalendar(QWidget* parent)
    : TPickerDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint, mrCancel) {
    setFixedSize(192, 176);

    btnBack = new QToolButton(this);
    btnBack->setObjectName("btnBack");
    btnBack->setArrowType(Qt::LeftArrow);
    btnBack->setAutoRaise(true);
    btnForward = new QToolButton(this);
    btnForward->setObjectName("btnForward");
    btnForward->setArrowType(Qt::RightArrow);
    btnForward->setAutoRaise(true);
    lblDate = new QLabel(this);
    lblDate->setObjectName("lblDate");
    lblDate->setAlignment(Qt::AlignCenter);
    lblDate->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Calendar = new TMonthGrid(this);
    Calendar->setObjectName("Calendar");
    btnSet = new QPushButton("Set", this);
    btnSet->setObjectName("btnSet");
    btnSet->setDefault(true);
    btnClear = new QPushButton("Clear", this);
    btnClear->setObjectName("btnClear");

    auto* top = new QHBoxLayout;
    top->setSpacing(2);
    top->addWidget(btnBack);
    top->addWidget(lblDate, 1);
    top->addWidget(btnForward);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnSet);
    buttons->addWidget(btnClear);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);
    layout->addLayout(top);
    layout->addWidget(Calendar, 1);
    layout->addLayout(buttons);

    connect(btnBack, &QToolButton::clicked, this, &TFrmCalendar::btnNewMonth_OnClick);
    connect(btnForward, &QToolButton::clicked, this, &TFrmCalendar::btnNewMonth_OnClick);
    connect(Calendar, &TMonthGrid::DateChanged, this, &TFrmCalendar::Calendar_OnChange);
    connect(btnSet, &QPushButton::clicked, this, [this] { done(mrSet); });
    connect(btnClear, &QPushButton::clicked, this, [this] { done(mrCancel); });
    Calendar_OnChange();
    Calendar->setFocus();
}

void TFrmCalendar::SetDate(int month, int day, int year) {
    SetDate(QDate(year, month, day));
}

void TFrmCalendar::SetDate(const QDate& date) {
    Calendar->SetDate(date);
}

QDate TFrmCalendar::Date() const {
    return Calendar->Date();
}

int TFrmCalendar::Year() const {
    return Calendar->Year();
}

int TFrmCalendar::Month() const {
    return Calendar->Month();
}

int TFrmCalendar::Day() const {
    return Calendar->Day();
}

void TFrmCalendar::btnNewMonth_OnClick() {
    int year = Calendar->Year();
    int month = Calendar->Month() + (sender() == btnBack ? -1 : 1);
    if (month < 1) {
        month = 12;
        --year;
    } else if (month > 12) {
        month = 1;
        ++year;
    }
    // Keep the day unless the new month is shorter (31 March back gives 28/29 February).
    const int day = std::min(Calendar->Day(), QDate(year, month, 1).daysInMonth());
    Calendar->SetDate(QDate(year, month, day));
}

void TFrmCalendar::Calendar_OnChange() {
    const QDate date = Calendar->Date();
    lblDate->setText(QString("%1 %2").arg(MonthNames[date.month()]).arg(date.year()));
}
