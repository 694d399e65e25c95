#pragma once

#include "TEditorValidation.h"
#include "TEditorValues.h"
#include "TFilePath.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

// The file the editor shows, without widgets: which file it is, whether the user's edits are
// unsaved, and what loading and saving it takes through the tagging library (a tag-file
// session each time). The window shows what a load gives and the messages a save returns.
class TEditorDocument {
public:
    // What a load read from the current file.
    struct TLoaded {
        bool Opened = false; // false: the library refused the file ("Invalid Audio File")
        QString Error;       // a failure while reading, as the error box shows it; "" when none
        TEditorValues Values;
        QString Format;         // the format read-out ("WAV File / PCM ... - ...")
        bool Id3v1Only = false; // an MPEG file without an ID3v2 tag
        uint32_t LengthMs = 0;
    };

    // What a save did.
    struct TSaved {
        bool Saved = false;
        // The error box's text when not saved.
        QString Message;
        // Set when the values failed validation (the window focuses the failing field).
        std::optional<TEditorValidation::TFailure> Invalid;
    };

    TFilePath CurrentFile;
    // The user's edits are not saved yet.
    bool Modified = false;
    // The editor is being filled from the file: its change notices are not edits.
    bool Loading = false;

    // Lets go of the file and its edits.
    void Clear();
    // An edit of the user; true when it counts (no load is filling the editor).
    bool NoteEdit();
    // Edits of a file there is something to save to.
    bool HasUnsavedChanges() const { return Modified && !CurrentFile.IsEmpty(); }

    // A read-only file is made writable so that it can be saved; true when this changed it.
    bool MakeWritable() const;
    // Reads every key, the format and the length of the current file. `whileOpen` runs while
    // the library holds the file open (what else reads from it then, such as the stored
    // broadcast chunks).
    TLoaded Load(const std::function<void()>& whileOpen = {}) const;
    // The current file's values as stored; nothing when it cannot be read.
    std::optional<TEditorValues> ReadValues() const;
    // Opens the current file for `step` and closes it unchanged; false when it cannot be opened.
    bool WhileOpen(const std::function<void()>& step) const;
    // Validates and writes the values. `writing` is told false once the file is open and about
    // to be written and true afterwards whatever the outcome (the folder's change notices are
    // off meanwhile); `stored` runs once the values are stored, before that. A save clears
    // Modified.
    TSaved Save(const TEditorValues& values, const std::function<void(bool done)>& writing = {},
                const std::function<void()>& stored = {});
    // Adds an empty ID3v2 tag to an MPEG file; false when the library could not.
    bool AddId3v2() const;

    // "WAV File / <format> - <details>", with " w/ ID3v2 " after the suffix for an MPEG file
    // with that tag; "Unknown" when the playback library cannot read the format.
    QString FormatText() const;
    // The first `bytes` bytes of the file (fewer for a shorter file) for the header dump;
    // nothing when there is no file or it cannot be read.
    std::optional<QByteArray> Head(qsizetype bytes = 256) const;
};
