#pragma once

// Dynamic property names by which a control tells the editor's enabling rules what it is:
// an ID3v1 field stays enabled for an MPEG file without ID3v2, a display-only field is never
// editable, a never-disabled control (arrows, time displays) is left alone.
namespace ControlMarks {
inline constexpr const char* Id3v1Field = "cuemarkId3v1Field";
inline constexpr const char* DisplayOnly = "cuemarkDisplayOnly";
inline constexpr const char* NeverDisabled = "cuemarkNeverDisabled";
} // namespace ControlMarks
