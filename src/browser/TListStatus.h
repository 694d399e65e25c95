#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QProgressBar;
class QStatusBar;
class TXListView;

// What the folder list has to say in the status bar under it: a progress bar over the bar while
// a long pass of the list's model runs (and for other long work on the rows, batch tagging),
// the reason a folder could not be read, and where the list went when its folder vanished.
// While a pass with progress runs, Escape cancels it and other input is dropped (a click queued
// for later would act on rows that have moved).
class TListStatus : public QObject {
    Q_OBJECT

public:
    TListStatus(TXListView& list, QStatusBar& statusBar, QObject* parent = nullptr);
    ~TListStatus() override;

    // The progress bar: shown, moved to a percentage (the window keeps painting), removed.
    void BeginProgress();
    void StepProgress(int percent);
    void EndProgress();
    // For other long work on the rows: whether Escape asked it to stop (the bar's end then
    // says the work was cancelled).
    bool CancelWanted();
    // The bar while it shows; null otherwise.
    QProgressBar* Progress() const { return Bar; }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    TXListView& List;
    QPointer<QStatusBar> StatusBar;
    QProgressBar* Bar = nullptr;
    bool CancelPass = false;  // Escape arrived during the running pass
    bool CancelTaken = false; // ... and the pass ended on it
    qint64 LastProgressPaint = 0;
    QString FolderErrorText; // the reason shown for a folder that could not be read

    // The reason in the status bar when the shown folder could not be read; else away.
    void ShowFolderError();
};
