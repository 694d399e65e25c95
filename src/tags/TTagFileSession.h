#pragma once

#include "TEditorValues.h"
#include "TFilePath.h"

#include <QString>

#include <cstdint>

struct TTagKeyInfo;

// One file open in the tagging library, from OpenWavFile to CloseWavFile: reads every key
// into the editor's values, writes the values back in the save's order, and keeps the
// reason of a failure (the library's own, from GetTagLastError, when it gives one). The
// library holds one open file at a time, so one session at a time. Widget-free: used by the
// editor, batch tagging and cuemark-tag alike.
class TTagFileSession {
public:
    // Bytes of the buffer a value is read into: UTF-8 takes up to 4 bytes a character, and
    // any value a save can pass (its length goes in 16 bits) comes back whole, so no field
    // limit, counted in characters, can cut a value on its way back.
    static constexpr int32_t BufferSize = 65536;
    // The longest value the library can be given.
    static constexpr qsizetype MaxValueBytes = 65535;

    explicit TTagFileSession(TFilePath path);
    // A file still open is closed and its result ignored.
    ~TTagFileSession();
    TTagFileSession(const TTagFileSession&) = delete;
    TTagFileSession& operator=(const TTagFileSession&) = delete;

    const TFilePath& Path() const { return FilePath; }

    // OpenWavFile(path, 0, 0). False when the file is unusable; Reason() then tells why
    // when the library says.
    bool Open();
    bool IsOpen() const { return Opened; }

    // The stored text of one key ("DISP" from its chunk); "" when absent.
    QString ReadText(const TTagKeyInfo& key) const;
    // Every key read into the values the editor shows.
    TEditorValues ReadValues() const;
    // Whether the file carries an ID3v2 tag (asked of the last file opened, also after
    // the close).
    bool HasId3v2() const;

    // Writes the save's calls for `values` in their order. False at the first value the
    // library refuses or cannot be given (longer than MaxValueBytes); nothing later is
    // written and Reason() names the key.
    bool Write(const TEditorValues& values);

    // CloseWavFile, the moment the changes are stored. False when they were not;
    // Reason() then tells why when the library says.
    bool Close();
    // Closes without looking at the result (after a failure of the caller's own).
    void Abandon();

    // The reason of the last failure; "" when there is none or the library gave none.
    const QString& Reason() const { return LastReason; }

private:
    TFilePath FilePath;
    bool Opened = false;
    QString LastReason;
};
