#include "TXListView.h"

#include "PidlHelp.h"
#include "TListDelegate.h"
#include "TProfileFile.h"
#include "TShellNamespace.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>

TXListView::TXListView(QWidget* parent)
    : QTreeView(parent), Model(new TFolderListModel(this)),
      Refresher(new TFolderRefresher(*Model, Model)) {
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

    Model->SetLinkOverlay(QIcon::fromTheme(QStringLiteral("emblem-symbolic-link")));

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { SelectionChanged(); });
    // A re-read shows at once, with the wait cursor meanwhile.
    connect(Refresher, &TFolderRefresher::RefreshBegins, this, [this] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        setUpdatesEnabled(false);
    });
    connect(Refresher, &TFolderRefresher::RefreshEnded, this, [this] {
        setUpdatesEnabled(true);
        QApplication::restoreOverrideCursor();
    });
    connect(Refresher, &TFolderRefresher::FolderMoved, this,
            [this](const QByteArray& path) { BrowseToPath(path); });
}

TXListView::~TXListView() = default;

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
    QApplication::setOverrideCursor(Qt::WaitCursor);
    {
        const QSignalBlocker blocker(selectionModel());
        Model->OpenFolder(absolute);
    }
    QApplication::restoreOverrideCursor();
    scrollToTop();
    viewport()->update();

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
    Refresher->Refresh(resort);
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
                const TPidl target = Model->AbsoluteIDOf(Model->Entry(row));
                BrowseTo(target.Get());
            }
            return;
        }
        emit OnDefaultAction(this, Model->Entry(row).ParsingName);
    }
}

bool TXListView::viewportEvent(QEvent* e) {
    if (e->type() == QEvent::Paint) {
        ReadVisibleRows();
        PaintBelowRows();
    }
    return QTreeView::viewportEvent(e);
}

void TXListView::PaintBelowRows() {
    // The rows are painted over this next; what stays is the area below them.
    const auto* delegate = qobject_cast<const TListDelegate*>(itemDelegate());
    const int count = Model->Count();
    if (delegate == nullptr || count == 0)
        return;
    const QRect last = visualRect(Model->index(count - 1, 0));
    QPainter painter(viewport());
    delegate->PaintBelowRows(painter, *header(), last.bottom() + 1, viewport()->rect(), palette());
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
