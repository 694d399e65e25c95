#include "TSystemComboBox.h"

#include "PidlHelp.h"
#include "TShellNamespace.h"
#include "TSystemImageList.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// Draws the popup's entries indented by their level.
class TIndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem item(option);
        initStyleOption(&item, index);
        const QWidget* widget = item.widget;
        const QStyle* style = widget ? widget->style() : QApplication::style();
        // The selection band spans the whole row; icon and text move in by the level.
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &item, painter, widget);
        item.rect.setLeft(item.rect.left() + Indent(index));
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.rwidth() += Indent(index);
        return size;
    }

private:
    static int Indent(const QModelIndex& index) {
        return index.data(TSystemComboBox::LevelRole).toInt() * TSystemComboBox::IndentPerLevel;
    }
};

TPidl Prefix(PCItemIDList list, int items) {
    TPidl prefix = TPidl::Copy(list);
    if (!prefix)
        return prefix;
    for (int n = PIDLCount(prefix.Get()); n > items; --n)
        StripLastID(prefix.Get());
    return prefix;
}

} // namespace

TSystemComboBox::TSystemComboBox(QWidget* parent)
    : QComboBox(parent), Desktop(TShellNamespace::DesktopFolder()) {
    setObjectName(QStringLiteral("cboSystem"));
    setEditable(false);
    setMaxVisibleItems(20);
    setIconSize(QSize(TSystemImageList::SmallIconSize(), TSystemImageList::SmallIconSize()));
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(12);
    setItemDelegate(new TIndentDelegate(this));
    // activated() comes only from the user's pick, never from setCurrentIndex().
    connect(this, &QComboBox::activated, this, [this](int) { emit OnChange(); });
    Rebuild();
}

TSystemComboBox::~TSystemComboBox() = default;

void TSystemComboBox::Rebuild() {
    clear();
    Entries.clear();
    PItemIDList empty = CreatePIDL(2);
    AddEntry(count(), TPidl(empty), 0, false);
    std::vector<TPidl> top;
    Desktop->EnumObjects(efFolders, top);
    const TPidl computer = TShellNamespace::DrivesLocation();
    for (TPidl& item : top) {
        const bool isComputer = ComparePIDLs(item.Get(), computer.Get());
        AddEntry(count(), std::move(item), 1, false);
        if (!isComputer)
            continue;
        std::vector<TPidl> drives;
        if (auto folder = Desktop->BindToObject(computer.Get()))
            folder->EnumObjects(efFolders, drives);
        for (const TPidl& drive : drives)
            AddEntry(count(), TPidl(ConcatPIDLs(computer.Get(), drive.Get())), 2, false);
    }
    setCurrentIndex(-1);
}

void TSystemComboBox::AddEntry(int at, TPidl list, int level, bool inserted) {
    if (!list)
        return;
    const QString name =
        QString::fromStdString(GetDisplayName(Desktop.get(), list.Get(), dntNormal));
    const QIcon icon = TSystemImageList::Instance().Icon(
        GetIconIndex(list.Get(), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    Entries.insert(Entries.begin() + at, TEntry{std::move(list), level, inserted});
    insertItem(at, icon, name);
    setItemData(at, level, LevelRole);
}

void TSystemComboBox::RemoveInserted() {
    for (int i = count() - 1; i >= 0; --i) {
        if (Entries[static_cast<size_t>(i)].Inserted) {
            removeItem(i);
            Entries.erase(Entries.begin() + i);
        }
    }
}

int TSystemComboBox::FindEntry(PCItemIDList absolute) const {
    for (size_t i = 0; i < Entries.size(); ++i)
        if (ComparePIDLs(Entries[i].List.Get(), absolute))
            return static_cast<int>(i);
    return -1;
}

PCItemIDList TSystemComboBox::GetActiveFolderIDList() const {
    const int index = currentIndex();
    return index >= 0 && index < static_cast<int>(Entries.size())
               ? Entries[static_cast<size_t>(index)].List.Get()
               : nullptr;
}

void TSystemComboBox::SetActiveFolderIDList(TPidl absolute) {
    RemoveInserted();
    if (!absolute) {
        setCurrentIndex(-1);
        return;
    }
    const int depth = PIDLCount(absolute.Get());
    int ancestor = -1;
    int known = depth;
    for (; known >= 0; --known) {
        const TPidl prefix = Prefix(absolute.Get(), known);
        ancestor = prefix ? FindEntry(prefix.Get()) : -1;
        if (ancestor >= 0)
            break;
    }
    if (ancestor < 0) {
        setCurrentIndex(-1);
        return;
    }
    // Every folder of the chain must have a name, or the chain is not shown at all.
    for (int items = known + 1; items <= depth; ++items) {
        const TPidl prefix = Prefix(absolute.Get(), items);
        if (!prefix || GetDisplayName(Desktop.get(), prefix.Get(), dntNormal).empty()) {
            setCurrentIndex(-1);
            return;
        }
    }
    int level = Entries[static_cast<size_t>(ancestor)].Level;
    int at = ancestor;
    for (int items = known + 1; items <= depth; ++items)
        AddEntry(++at, Prefix(absolute.Get(), items), ++level, true);
    setCurrentIndex(at);
}

PCItemIDList TSystemComboBox::EntryIDList(int index) const {
    return index >= 0 && index < static_cast<int>(Entries.size())
               ? Entries[static_cast<size_t>(index)].List.Get()
               : nullptr;
}

int TSystemComboBox::EntryLevel(int index) const {
    return index >= 0 && index < static_cast<int>(Entries.size())
               ? Entries[static_cast<size_t>(index)].Level
               : -1;
}

bool TSystemComboBox::IsInserted(int index) const {
    return index >= 0 && index < static_cast<int>(Entries.size()) &&
           Entries[static_cast<size_t>(index)].Inserted;
}
