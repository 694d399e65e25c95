#include "TTrackBarState.h"

void TTrackBarState::SetScale(uint32_t lengthMs) {
    Maximum = int(lengthMs / MsPerStep); // at most 42949672, well inside int
    TickFrequency = Maximum / 15;
    LineSize = Maximum / 100;
    PageSize = Maximum / 10;
}
