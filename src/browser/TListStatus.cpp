#include "TListStatus.h"

#include "TXListView.h"

#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QProgressBar>
#include <QStatusBar>

#include <algorithm>
#include <cstring>

namespace {

// How often a long pass outside painting lets the window repaint.
constexpr qint64 ProgressPaintIntervalMs = 100;

} // namespace

TListStatus::TListStatus(TXListView& list, QStatusBar& statusBar, QObject* parent)
    : QObject(parent), List(list), StatusBar(&statusBar) {
    TFolderListModel& model = List.ListModel();
    connect(&model, &TFolderListModel::PassBegun, this, &TListStatus::BeginProgress);
    connect(&model, &TFolderListModel::PassStep, this, &TListStatus::StepProgress);
    connect(&model, &TFolderListModel::PassEnded, this, &TListStatus::EndProgress);
    model.SetCancelCheck([this] {
        CancelTaken = CancelTaken || CancelPass;
        return CancelPass;
    });
    connect(&List, &TXListView::OnFolderChange, this, [this] { ShowFolderError(); });
    connect(&List.FolderRefresher(), &TFolderRefresher::FolderGone, this,
            [this](const QByteArray& old, const QByteArray& path) {
                if (StatusBar)
                    StatusBar->showMessage(
                        QStringLiteral("\"%1\" no longer exists; showing \"%2\"")
                            .arg(QString::fromLocal8Bit(old), QString::fromLocal8Bit(path)));
            });
}

TListStatus::~TListStatus() {
    List.ListModel().SetCancelCheck({});
    EndProgress();
}

void TListStatus::ShowFolderError() {
    if (!StatusBar)
        return;
    // No rows can mean an empty folder or one that cannot be read: the bar tells which.
    if (const int error = List.ListModel().OpenError(); error != 0) {
        char buffer[256];
        FolderErrorText = QString::fromLocal8Bit(::strerror_r(error, buffer, sizeof buffer));
        StatusBar->showMessage(FolderErrorText);
    } else if (!FolderErrorText.isEmpty()) {
        if (StatusBar->currentMessage() == FolderErrorText)
            StatusBar->clearMessage();
        FolderErrorText.clear();
    }
}

void TListStatus::BeginProgress() {
    EndProgress();
    if (!StatusBar)
        return;
    Bar = new QProgressBar(StatusBar);
    Bar->setOrientation(Qt::Horizontal);
    Bar->setRange(0, 100);
    Bar->setTextVisible(false);
    Bar->setGeometry(1, 1, std::max(0, StatusBar->width() - 2),
                     std::max(0, StatusBar->height() - 2));
    Bar->show();
    Bar->raise();
    LastProgressPaint = 0;
    CancelPass = false;
    CancelTaken = false;
    qApp->installEventFilter(this);
}

void TListStatus::StepProgress(int percent) {
    if (Bar == nullptr)
        return;
    Bar->setValue(percent);
    if (List.IsPaintReading())
        return; // a paint is running: the bar is drawn with the next one
    // A long pass outside painting keeps the window painting (user input waits).
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - LastProgressPaint >= ProgressPaintIntervalMs) {
        LastProgressPaint = now;
        Bar->repaint();
        // User input is let through to the filter, which keeps only Escape.
        QCoreApplication::processEvents();
    }
}

bool TListStatus::eventFilter(QObject* watched, QEvent* e) {
    switch (e->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride: // comes first when the window has shortcuts
        if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape)
            CancelPass = true;
        return true;
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::Drop:
        return true;
    default:
        return QObject::eventFilter(watched, e);
    }
}

bool TListStatus::CancelWanted() {
    CancelTaken = CancelTaken || CancelPass;
    return CancelPass;
}

void TListStatus::EndProgress() {
    if (Bar == nullptr)
        return;
    qApp->removeEventFilter(this);
    delete Bar;
    Bar = nullptr;
    // Only a pass that asks for Escape ends early (batch tagging runs to its end).
    if (CancelTaken && StatusBar)
        StatusBar->showMessage(QStringLiteral("Cancelled: the rows read so far keep their values"));
}
