#include "TXListView.h"

#include "PidlHelp.h"
#include "TDirMonitorThread.h"
#include "TProfileFile.h"
#include "TShellNamespace.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace {

// How often a long pass outside painting lets the window repaint.
constexpr qint64 ProgressPaintIntervalMs = 100;

} // namespace

TXListView::TXListView(QWidget* parent) : QTreeView(parent), Model(new TFolderListModel(this)) {
    setModel(Model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideRight);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    SetColumns(TListColumns::Fixed());

    TFolderListModel::TReadHooks hooks;
    hooks.ProgressBegin = [this] { ProgressBegin(); };
    hooks.ProgressStep = [this](int percent) { ProgressStep(percent); };
    hooks.ProgressEnd = [this] { ProgressEnd(); };
    hooks.CancelRequested = [this] {
        CancelTaken = CancelTaken || CancelPass;
        return CancelPass;
    };
    Model->SetReadHooks(std::move(hooks));
    Model->SetLinkOverlay(QIcon::fromTheme(QStringLiteral("emblem-symbolic-link")));

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { SelectionChanged(); });
}

TXListView::~TXListView() {
    Monitor.reset();
    RefreshPending = false;
    ProgressEnd();
}

void TXListView::SetColumns(std::vector<TListColumn> columns) {
    Model->SetColumns(std::move(columns));
    const auto& set = Model->Columns();
    for (size_t i = 0; i < set.size(); ++i) {
        int width = set[i].Width;
        if (width < 0)
            width = i == 0   ? TListColumns::NameWidth
                    : i == 1 ? TListColumns::SizeWidth
                    : i == 2 ? TListColumns::ModifiedWidth
                             : TListColumns::ExtendedWidth;
        header()->resizeSection(static_cast<int>(i), width);
    }
}

std::vector<TListColumn> TXListView::Columns() const {
    std::vector<TListColumn> columns = Model->Columns();
    for (size_t i = 0; i < columns.size(); ++i)
        columns[i].Width = header()->sectionSize(static_cast<int>(i));
    return columns;
}

void TXListView::ReadColumnSettings(const TProfileFile& settings) {
    SetColumns(TListColumns::FromSettings(settings));
}

bool TXListView::WriteColumnWidths(TProfileFile& settings) const {
    return TListColumns::WriteWidths(settings, Columns());
}

void TXListView::BrowseTo(PCItemIDList absolute) {
    if (absolute == nullptr)
        return;
    if (Model->IsReading()) {
        // A pass keeps the window painting; the folder changes once the pass is over.
        auto copy = std::make_shared<TPidl>(TPidl::Copy(absolute));
        QTimer::singleShot(0, this, [this, copy] { BrowseTo(copy->Get()); });
        return;
    }
    Monitor.reset();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    {
        const QSignalBlocker blocker(selectionModel());
        Model->OpenFolder(absolute);
    }
    QApplication::restoreOverrideCursor();
    scrollToTop();
    viewport()->update();
    ShowFolderError();
    FolderIdentity = TFolderWhereabouts::IdentityOf(Model->FolderParsingName());

    Monitor = std::make_unique<TDirMonitorThread>(NoticeTarget ? NoticeTarget.data() : this);
    const QByteArray& watched = Model->FolderParsingName();
    Monitor->SetFolder(std::string(watched.constData(), static_cast<size_t>(watched.size())));
    Monitor->Start();

    if (Model->Count() > 0)
        SelectRow(0);
    emit OnFolderChange(this);
    if (SelectedCount() == 0)
        emit OnSelectionChange(this, QByteArray(), true);
}

void TXListView::BrowseToPath(const QByteArray& path) {
    TPidl list;
    if (!GetPIDLFromPath(&Model->DesktopFolder(), path.toStdString(), list))
        list = TShellNamespace::DrivesLocation();
    BrowseTo(list.Get());
}

void TXListView::RefreshFolder(bool resort) {
    if (Model->IsReading()) {
        // Entries must not go away under a running pass; one re-read follows it.
        RefreshPending = true;
        PendingResort = PendingResort || resort;
        return;
    }
    if (FollowMovedFolder())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    setUpdatesEnabled(false);
    Model->RefreshFolder(resort);
    setUpdatesEnabled(true);
    QApplication::restoreOverrideCursor();
}

void TXListView::SetChangeNotices(bool on) {
    if (Monitor)
        Monitor->SetActive(on);
}

void TXListView::ReadEntryDetails(int first, int last) {
    Model->ReadEntryDetails(first, last, true);
}

void TXListView::MarkAllStale() {
    Model->MarkAllStale();
}

void TXListView::RefreshSelectedEntry() {
    const QList<int> rows = SelectedRows();
    if (!rows.isEmpty())
        Model->MarkStale(rows.first());
}

void TXListView::RefreshEntry(const QByteArray& path) {
    for (int row = 0; row < Model->Count(); ++row)
        if (Model->Entry(row).ParsingName == path)
            Model->MarkStale(row);
}

QList<int> TXListView::SelectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int TXListView::SelectedCount() const {
    return static_cast<int>(selectionModel()->selectedRows().size());
}

void TXListView::SelectRow(int row) {
    if (row < 0 || row >= Model->Count()) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex index = Model->index(row, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
}

bool TXListView::FollowMovedFolder() {
    if (!FolderIdentity)
        return false;
    const QByteArray old = Model->FolderParsingName();
    const TFolderWhereabouts::TResult where = TFolderWhereabouts::Locate(old, *FolderIdentity);
    if (where.Kind == TFolderWhereabouts::TKind::Unchanged)
        return false;
    BrowseToPath(where.Path);
    if (where.Kind == TFolderWhereabouts::TKind::Gone && StatusBar)
        StatusBar->showMessage(
            QStringLiteral("\"%1\" no longer exists; showing \"%2\"")
                .arg(QString::fromLocal8Bit(old), QString::fromLocal8Bit(where.Path)));
    return true;
}

void TXListView::ShowFolderError() {
    if (!StatusBar)
        return;
    // No rows can mean an empty folder or one that cannot be read: the bar tells which.
    if (const int error = Model->OpenError(); error != 0) {
        char buffer[256];
        FolderErrorText = QString::fromLocal8Bit(::strerror_r(error, buffer, sizeof buffer));
        StatusBar->showMessage(FolderErrorText);
    } else if (!FolderErrorText.isEmpty()) {
        if (StatusBar->currentMessage() == FolderErrorText)
            StatusBar->clearMessage();
        FolderErrorText.clear();
    }
}

void TXListView::SetStatusBar(QStatusBar* statusBar) {
    StatusBar = statusBar;
}

void TXListView::SetIconLookup(std::function<QIcon(int)> lookup) {
    Model->SetIconLookup(std::move(lookup));
}

void TXListView::SelectionChanged() {
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty()) {
        emit OnSelectionChange(this, QByteArray(), true);
        return;
    }
    const int row = rows.first();
    emit OnSelectionChange(this, Model->Entry(row).ParsingName, Model->IsFileRow(row));
}

void TXListView::OpenSelection(bool firstOnly) {
    QList<int> rows = SelectedRows();
    if (firstOnly && !rows.isEmpty())
        rows = {rows.first()};
    // Paths first: showing a folder replaces the entries.
    for (int row : rows) {
        if (Model->IsFolderRow(row)) {
            if (!Model->IsShownFolder(row)) {
                const TPidl target = TPidl::Copy(Model->Entry(row).AbsoluteID.Get());
                BrowseTo(target.Get());
            }
            return;
        }
        emit OnDefaultAction(this, Model->Entry(row).ParsingName);
    }
}

bool TXListView::event(QEvent* e) {
    if (e->type() == MSG_REFRESH_FOLDER) {
        RefreshFolder(false);
        return true;
    }
    return QTreeView::event(e);
}

bool TXListView::viewportEvent(QEvent* e) {
    if (e->type() == QEvent::Paint)
        ReadVisibleRows();
    return QTreeView::viewportEvent(e);
}

void TXListView::ReadVisibleRows() {
    const int count = Model->Count();
    if (count == 0)
        return;
    const QModelIndex top = indexAt(QPoint(1, 1));
    if (!top.isValid())
        return;
    QModelIndex bottom = indexAt(QPoint(1, viewport()->height() - 1));
    const int first = top.row();
    const int last = bottom.isValid() ? bottom.row() : count - 1;
    InPaintRead = true;
    Model->ReadEntryDetails(first, last, false);
    InPaintRead = false;
}

void TXListView::ProgressBegin() {
    ProgressEnd();
    if (!StatusBar)
        return;
    Progress = new QProgressBar(StatusBar);
    Progress->setOrientation(Qt::Horizontal);
    Progress->setRange(0, 100);
    Progress->setTextVisible(false);
    Progress->setGeometry(1, 1, std::max(0, StatusBar->width() - 2),
                          std::max(0, StatusBar->height() - 2));
    Progress->show();
    Progress->raise();
    LastProgressPaint = 0;
    CancelPass = false;
    CancelTaken = false;
    qApp->installEventFilter(this);
}

void TXListView::ProgressStep(int percent) {
    if (Progress == nullptr)
        return;
    Progress->setValue(percent);
    if (InPaintRead)
        return; // a paint is running: the bar is drawn with the next one
    // A long pass outside painting keeps the window painting (user input waits).
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - LastProgressPaint >= ProgressPaintIntervalMs) {
        LastProgressPaint = now;
        Progress->repaint();
        // User input is let through to the filter, which keeps only Escape.
        QCoreApplication::processEvents();
    }
}

bool TXListView::eventFilter(QObject* watched, QEvent* e) {
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
        return QTreeView::eventFilter(watched, e);
    }
}

void TXListView::ProgressEnd() {
    if (Progress != nullptr) {
        qApp->removeEventFilter(this);
        delete Progress;
        Progress = nullptr;
        // Only a pass that asks for Escape ends early (batch tagging runs to its end).
        if (CancelTaken && StatusBar)
            StatusBar->showMessage(
                QStringLiteral("Cancelled: the rows read so far keep their values"));
    }
    if (RefreshPending && !Model->IsReading()) {
        RefreshPending = false;
        const bool resort = PendingResort;
        PendingResort = false;
        QTimer::singleShot(0, this, [this, resort] { RefreshFolder(resort); });
    }
}

void TXListView::keyPressEvent(QKeyEvent* e) {
    const bool plain = (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && plain) {
        if (state() != QAbstractItemView::EditingState) {
            OpenSelection(false);
            e->accept();
            return;
        }
    } else if (e->key() == Qt::Key_Escape && plain) {
        selectionModel()->clearSelection();
        emit OnEscapeKey(this);
        e->accept();
        return;
    } else if (e->key() == Qt::Key_Delete && plain) {
        if (state() != QAbstractItemView::EditingState)
            emit OnDeleteKey(this);
        e->accept();
        return;
    } else if (e->key() == Qt::Key_A && e->modifiers() == Qt::ControlModifier) {
        selectAll();
        e->accept();
        return;
    }
    QTreeView::keyPressEvent(e);
}

void TXListView::mouseDoubleClickEvent(QMouseEvent* e) {
    QTreeView::mouseDoubleClickEvent(e);
    if (e->button() == Qt::LeftButton && SelectedCount() > 0)
        OpenSelection(true);
}

void TXListView::contextMenuEvent(QContextMenuEvent* e) {
    const QModelIndex index = indexAt(e->pos());
    const QList<int> rows = SelectedRows();
    // Only over a selected row's cells: empty space below the rows asks for nothing.
    if (index.isValid() && !rows.isEmpty() && selectionModel()->isRowSelected(index.row()))
        emit OnContextMenu(this, e->globalPos(), rows);
    e->accept();
}
