#pragma once

#include "TBroadcastFields.h"

#include <QWidget>

class QLabel;
class QTreeWidget;

// The editor's read-only "Broadcast" page: the cart and bext fields as the file stores them
// (what a playout system reads), the post timers with their names and times, and whether
// the cart is in step with the editor's values.
class TBroadcastPage : public QWidget {
    Q_OBJECT

public:
    explicit TBroadcastPage(QWidget* parent = nullptr);

    // Takes the stored fields of the file open in the tagging library.
    void ReadStored();
    // Shows the stored fields and whether the cart is in step with `values`.
    void ShowStep(const TEditorValues& values);
    void Clear();
    // After a save of `file`: the notice naming the cart fields it stored shortened, or ""
    // when there were none or the same notice was already given for the file.
    QString ShortenedNotice(const QString& file);

    QLabel* lblInStep;
    QTreeWidget* lvwBroadcast;

private:
    void ShowFields(const QStringList& outOfStep);

    TBroadcastFields::TFields Stored;
    QString NoticeGiven; // the file and fields of the last shortened-copy notice
};
