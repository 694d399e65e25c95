#pragma once

#include "TAirValidity.h"

#include <QDateTime>
#include <QObject>

#include <functional>

class QComboBox;
class QLabel;
class QStatusBar;
class QTimer;
class QToolBar;
class TFrmDateTime;
class TProfileFile;
class TXListView;

// The browser's validity filter: the list shows only the files that are valid now, expired,
// not yet valid, outside their daily window, or valid at a chosen moment. Other rows are
// hidden in the view (the entries stay), so selection, Select All, find, type-ahead and
// everything acting on the selection see the shown rows only. Folders always stay shown so
// the user can move on. The status bar says how many rows the filter hides.
class TValidityFilter : public QObject {
    Q_OBJECT

public:
    // The choices in the toolbar's box, in order.
    enum TKind { All, ValidNow, Expired, NotYetValid, OutsideWindow, ValidAt };

    TValidityFilter(TXListView& view, QToolBar& toolBar, QStatusBar& statusBar);

    TKind Kind() const { return FilterKind; }
    const QDateTime& Moment() const { return ValidAtMoment; }
    // Sets the filter (the moment only for ValidAt) and applies it to the shown folder.
    void SetFilter(TKind kind, const QDateTime& moment = {});
    // Whether the row passes the filter at its moment.
    bool RowShown(int row) const;
    // Rows the filter hides in the shown folder.
    int HiddenCount() const { return Hidden; }

    // The settings file (not owned) that keeps the filter: read now, written on each change.
    void SetSettings(TProfileFile* settings);
    static QString Section() { return QStringLiteral("Browser"); }

    // Runs the date and time chooser of "Valid at..." (tests answer it); exec() by default.
    void SetPickerRunner(std::function<int(TFrmDateTime&)> runner) {
        PickerRunner = std::move(runner);
    }

    QComboBox* cboValidity;
    QLabel* lblFilter;

private:
    void cboValidity_OnActivated(int index);
    void Apply();
    void ScheduleApply();
    void ShowChoice();
    void WriteSettings();

    TXListView& View;
    TKind FilterKind = All;
    QDateTime ValidAtMoment;
    int Hidden = 0;
    bool Applying = false;
    bool ApplyPending = false;
    QTimer* Clock;
    TProfileFile* Settings = nullptr;
    std::function<int(TFrmDateTime&)> PickerRunner;
};
