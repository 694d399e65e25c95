#include "TValidityFilter.h"

#include "Datetime.h"
#include "TFolderListModel.h"
#include "TMaskedEdit.h"
#include "TProfileFile.h"
#include "TXListView.h"
#include "TextForms.h"

#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

namespace {

const char* const StoredMoment = "yyyy/MM/dd HH:mm";

} // namespace

TValidityFilter::TValidityFilter(TXListView& view, QToolBar& toolBar, QStatusBar& statusBar)
    : QObject(&view), View(view) {
    cboValidity = new QComboBox(&toolBar);
    cboValidity->setObjectName(QStringLiteral("cboValidity"));
    cboValidity->setToolTip(QStringLiteral("Show only the files valid for air at a time"));
    cboValidity->addItems({QStringLiteral("All"), QStringLiteral("Valid now"),
                           QStringLiteral("Expired"), QStringLiteral("Not yet valid"),
                           QStringLiteral("Outside window"), QStringLiteral("Valid at...")});
    cboValidity->setFocusPolicy(Qt::StrongFocus);
    toolBar.addWidget(cboValidity);
    connect(cboValidity, &QComboBox::activated, this, &TValidityFilter::cboValidity_OnActivated);

    lblFilter = new QLabel(&statusBar);
    lblFilter->setObjectName(QStringLiteral("lblFilter"));
    statusBar.addPermanentWidget(lblFilter);
    lblFilter->hide();

    // "Valid now" moves with the clock.
    Clock = new QTimer(this);
    Clock->setInterval(60 * 1000);
    connect(Clock, &QTimer::timeout, this, [this] {
        View.viewport()->update();
        if (FilterKind != All && FilterKind != ValidAt)
            ScheduleApply();
    });
    Clock->start();

    TFolderListModel& model = View.ListModel();
    connect(&View, &TXListView::OnFolderChange, this, [this] { ScheduleApply(); });
    connect(&model, &QAbstractItemModel::modelReset, this, &TValidityFilter::ScheduleApply);
    connect(&model, &QAbstractItemModel::rowsInserted, this, &TValidityFilter::ScheduleApply);
    connect(&model, &QAbstractItemModel::rowsRemoved, this, &TValidityFilter::ScheduleApply);
    connect(&model, &QAbstractItemModel::dataChanged, this, &TValidityFilter::ScheduleApply);
}

void TValidityFilter::SetSettings(TProfileFile* settings) {
    Settings = settings;
    if (!Settings)
        return;
    const int kind = Settings->ReadInteger(Section(), QStringLiteral("ValidityFilter"), All);
    const QDateTime moment =
        QDateTime::fromString(Settings->ReadString(Section(), QStringLiteral("ValidAt"), QString()),
                              QLatin1String(StoredMoment));
    if (kind < All || kind > ValidAt || (kind == ValidAt && !moment.isValid()))
        return;
    FilterKind = static_cast<TKind>(kind);
    ValidAtMoment = moment;
    ShowChoice();
    Apply();
}

void TValidityFilter::SetFilter(TKind kind, const QDateTime& moment) {
    FilterKind = kind;
    if (kind == ValidAt)
        ValidAtMoment = moment;
    ShowChoice();
    WriteSettings();
    Apply();
}

void TValidityFilter::cboValidity_OnActivated(int index) {
    if (index != ValidAt) {
        SetFilter(static_cast<TKind>(index));
        return;
    }
    TFrmDateTime picker(View.window());
    picker.setWindowTitle(QStringLiteral("Valid at"));
    const QDateTime start = ValidAtMoment.isValid() ? ValidAtMoment : QDateTime::currentDateTime();
    picker.edtDate->setText(ShownDateText(start.date()));
    picker.edtTime->setText(StoredTimeText(start.time()));
    picker.btnClear->setEnabled(false);
    const int result = PickerRunner ? PickerRunner(picker) : picker.exec();
    const QString time = picker.TimeText().trimmed() == QStringLiteral(":")
                             ? QStringLiteral("00:00")
                             : picker.TimeText();
    const auto stamp = TextToDateTime(picker.DateText() + u' ' + time, TDateOrder::MonthDayYear);
    if (result != TFrmDateTime::mrSet || !stamp || !stamp->HasDate()) {
        ShowChoice(); // the box goes back to the filter in force
        return;
    }
    SetFilter(ValidAt, QDateTime(stamp->Date, stamp->Time));
}

void TValidityFilter::ShowChoice() {
    cboValidity->setCurrentIndex(FilterKind);
    cboValidity->setItemText(ValidAt, FilterKind == ValidAt
                                          ? QStringLiteral("Valid at ") +
                                                ValidAtMoment.toString(QLatin1String(StoredMoment))
                                          : QStringLiteral("Valid at..."));
}

void TValidityFilter::WriteSettings() {
    if (!Settings)
        return;
    Settings->WriteInteger(Section(), QStringLiteral("ValidityFilter"), FilterKind);
    Settings->WriteString(
        Section(), QStringLiteral("ValidAt"),
        ValidAtMoment.isValid() ? ValidAtMoment.toString(QLatin1String(StoredMoment)) : QString());
}

bool TValidityFilter::RowShown(int row) const {
    const TFolderListModel& model = View.ListModel();
    // The entry's folder flag, set when it was listed: asking the folder anew costs a stat.
    if (FilterKind == All || model.Entry(row).IsFolder)
        return true;
    const QDateTime moment = FilterKind == ValidAt ? ValidAtMoment : QDateTime::currentDateTime();
    const auto air = model.AirStateOf(row, moment);
    if (!air)
        return false;
    switch (FilterKind) {
    case ValidNow:
    case ValidAt:
        return air->State == TAirState::Valid || air->State == TAirState::Evergreen;
    case Expired:
        return air->State == TAirState::Expired;
    case NotYetValid:
        return air->State == TAirState::NotYetValid;
    case OutsideWindow:
        return air->State == TAirState::OutsideWindow;
    case All:
        break;
    }
    return true;
}

void TValidityFilter::ScheduleApply() {
    if (Applying || ApplyPending)
        return;
    ApplyPending = true;
    QTimer::singleShot(0, this, [this] {
        ApplyPending = false;
        Apply();
    });
}

void TValidityFilter::Apply() {
    if (Applying)
        return;
    Applying = true;
    TFolderListModel& model = View.ListModel();
    model.SetAirReading(FilterKind != All);
    // Every row's dates are needed: read the unread ones with progress, as a sort does.
    if (FilterKind != All && model.Count() > 0)
        View.ReadEntryDetails(0, model.Count() - 1);
    Hidden = 0;
    QItemSelectionModel* selection = View.selectionModel();
    for (int row = 0; row < model.Count(); ++row) {
        const bool hide = !RowShown(row);
        if (hide) {
            ++Hidden;
            // A hidden row is never acted on: it leaves the selection.
            if (selection && selection->isRowSelected(row, QModelIndex()))
                selection->select(model.index(row, 0),
                                  QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        }
        if (View.isRowHidden(row, QModelIndex()) != hide)
            View.setRowHidden(row, QModelIndex(), hide);
    }
    if (FilterKind == All) {
        lblFilter->hide();
    } else {
        lblFilter->setText(QStringLiteral("Filter: %1, %2 hidden")
                               .arg(cboValidity->itemText(FilterKind),
                                    Hidden == 1 ? QStringLiteral("1 row")
                                                : QStringLiteral("%1 rows").arg(Hidden)));
        lblFilter->show();
    }
    Applying = false;
}
