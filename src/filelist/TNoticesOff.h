#pragma once

#include "TXListView.h"

// Keeps the list's folder monitor quiet while the program itself writes into the folder, and
// switches it back on however the writing ends.
class TNoticesOff {
public:
    explicit TNoticesOff(TXListView& list) : List(list) { List.SetChangeNotices(false); }
    ~TNoticesOff() { List.SetChangeNotices(true); }
    TNoticesOff(const TNoticesOff&) = delete;
    TNoticesOff& operator=(const TNoticesOff&) = delete;

private:
    TXListView& List;
};
