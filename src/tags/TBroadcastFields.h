#pragma once

#include "TEditorValues.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// The broadcast chunks (cart, bext) as the tagging library stores them: their fields read
// while a file is open, the fields the last save stored shortened, and whether a cart is
// in step with the editor's values. Empty where the library has no such operations.
class TBroadcastFields {
public:
    using TFields = QList<QPair<QString, QString>>; // ("cart.Title", text) in stored order

    // The open file's stored fields that hold something.
    static TFields Read();
    // The cart fields the last CloseWavFile stored as a shortened copy.
    static QStringList LastShortened();
    // Passes the "Broadcast chunks" setting to the library (mode and profile as its codes).
    static void Apply(int mode, int profile);

    // The cart fields that do not hold what a save of `values` would write there ("" text
    // and dates compared as stored; a copy cut to its field counts as in step). Empty when
    // the fields hold no cart.
    static QStringList OutOfStep(const TFields& fields, const TEditorValues& values);
    static bool HasCart(const TFields& fields);
};
