#pragma once

#include <cstdint>

// The values of the audition track bar, kept apart from the widget so that the transport
// and marker rules can run without one. One step is 100 ms of audio.
struct TTrackBarState {
    static constexpr uint32_t MsPerStep = 100;

    int Position = 0;
    int Maximum = 0; // the minimum is always 0
    int TickFrequency = 0;
    int LineSize = 0;
    int PageSize = 0;
    int SelStart = 0;
    int SelEnd = 0;

    // The scale for a file of lengthMs: maximum = length in steps, ticks every 1/15,
    // line size 1/100 and page size 1/10 of it (truncated). Position and band are kept.
    void SetScale(uint32_t lengthMs);
};
