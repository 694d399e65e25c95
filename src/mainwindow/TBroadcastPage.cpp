#include "TBroadcastPage.h"

#include "TextForms.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// "INTe 66150 (1500 ms)" as "INTe  00:01.5  (66150 frames)".
QString TimerText(const QString& stored) {
    const QString usage = stored.left(4);
    const QStringList rest = stored.mid(5).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (rest.isEmpty())
        return stored;
    QString text = usage + QStringLiteral("  ");
    if (rest.size() >= 2) {
        bool ok = false;
        const uint ms = QString(rest[1]).remove(QLatin1Char('(')).toUInt(&ok);
        if (ok)
            text += TimeText(ms) + QStringLiteral("  ");
    }
    return text + QStringLiteral("(") + rest[0] + QStringLiteral(" frames)");
}

} // namespace

TBroadcastPage::TBroadcastPage(QWidget* parent) : QWidget(parent) {
    lblInStep = new QLabel(this);
    lblInStep->setObjectName("lblInStep");
    lblInStep->setWordWrap(true);
    lvwBroadcast = new QTreeWidget(this);
    lvwBroadcast->setObjectName("lvwBroadcast");
    lvwBroadcast->setHeaderLabels({QStringLiteral("Field"), QStringLiteral("Stored value")});
    lvwBroadcast->setRootIsDecorated(false);
    lvwBroadcast->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblInStep);
    layout->addWidget(lvwBroadcast, 1);
    Clear();
}

void TBroadcastPage::ReadStored() {
    Stored = TBroadcastFields::Read();
}

void TBroadcastPage::ShowStep(const TEditorValues& values) {
    ShowFields(TBroadcastFields::OutOfStep(Stored, values));
}

QString TBroadcastPage::ShortenedNotice(const QString& file) {
    const QStringList fields = TBroadcastFields::LastShortened();
    if (fields.isEmpty())
        return {};
    const QString given = file + QLatin1Char('\n') + fields.join(QLatin1Char(','));
    if (given == NoticeGiven)
        return {};
    NoticeGiven = given;
    return QStringLiteral("The cart chunk holds a shortened copy of: ") +
           fields.join(QStringLiteral(", ")) +
           QStringLiteral(".\nThe full values are kept in the file's own tags.");
}

void TBroadcastPage::ShowFields(const QStringList& outOfStep) {
    const TBroadcastFields::TFields& fields = Stored;
    lvwBroadcast->clear();
    for (const auto& [name, value] : fields) {
        const bool timer = name.startsWith(QLatin1String("cart.PostTimer"));
        auto* item = new QTreeWidgetItem(lvwBroadcast, {name, timer ? TimerText(value) : value});
        item->setToolTip(1, value);
    }
    if (!TBroadcastFields::HasCart(fields))
        lblInStep->setText(QStringLiteral("The file has no cart chunk."));
    else if (outOfStep.isEmpty())
        lblInStep->setText(QStringLiteral("The cart is in step with the editor's values."));
    else
        lblInStep->setText(QStringLiteral("The cart is not in step with the editor's values: ") +
                           outOfStep.join(QStringLiteral(", ")) +
                           QStringLiteral(". Saving brings it in step when the Broadcast chunks "
                                          "setting allows."));
}

void TBroadcastPage::Clear() {
    Stored.clear();
    lvwBroadcast->clear();
    lblInStep->setText(QStringLiteral("No broadcast chunks."));
}
