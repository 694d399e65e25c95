#pragma once

#include "TMarkerModel.h"

struct TAudioAnalysis;

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// What the audition and the marker panel need from the window that holds them: the
// shared editor state by reference (it stays the window's) and a few callbacks. Keeping
// this narrow lets the panel run and be tested without the main window.
struct TAuditionHost {
    TMarkerModel& Markers; // marker points and LengthMs of the file in the editor
    uint32_t& PlayHandle;  // handle of the running audition, 0 when none
    bool& ToneMode;        // marker display: tones (intro, segue) or hook

    std::function<QByteArray()> CurrentFile; // the file auditioned, its path's bytes
    std::function<int()> DeviceIndex;        // output device, passed as unsigned 16 bits
    std::function<bool()> UseCodec;          // "Force use of ACM CODEC" ticked
    // A marker edit's text changed through the user: the window's change handler, which
    // sets Modified unless the editor is loading.
    std::function<void()> MarkersEdited;
    // An error box; unset shows it through the message seam.
    std::function<void(const QString&)> ShowError;
    // The persistent cache of analyses (unset: every file is analysed when auditioned).
    std::function<std::optional<std::string>(const QByteArray& path)> CachedAnalysis;
    std::function<void(const QByteArray& path, const TAudioAnalysis& analysis)> StoreAnalysis;
};
