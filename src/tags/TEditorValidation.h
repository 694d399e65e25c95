#pragma once

#include <QString>

#include <optional>

class TEditorValues;

// The checks a save makes on the date and time fields before anything is written, in
// their fixed order; the first failing check names its message and the field to focus.
class TEditorValidation {
public:
    struct TFailure {
        int Step;         // 1..11, the order of the checks
        QString FocusKey; // key of the field to focus ("IGNR", "BSTW", ...)
        QString Message;  // the error box text
    };

    // Nothing when every check passes.
    static std::optional<TFailure> Validate(const TEditorValues& values);
};
