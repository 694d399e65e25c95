#pragma once

#include <QByteArray>

// What the browser needs of the editor beside it. The main window implements it; the browser
// panel knows nothing else of the window. Paths are the bytes the file system knows.
class TEditorLink {
public:
    virtual ~TEditorLink() = default;

    // The file shown in the editor; empty when none.
    virtual QByteArray EditorCurrentFile() const = 0;
    // Offers to save unsaved changes. True when the browser may go on (nothing to save,
    // changes discarded, or saved); false when a wanted save failed and the edits stay.
    virtual bool EditorPromptSaveChanges() = 0;
    // Makes the path the current file and loads it into the editor.
    virtual void EditorLoadFile(const QByteArray& path) = 0;
    // Empties the editor (no current file).
    virtual void EditorClear() = 0;
    // The current file was renamed to `path`: an editor that can, keeps its edits and saves
    // them there; by default it lets go of the file.
    virtual void EditorFileRenamed(const QByteArray& path) {
        (void)path;
        EditorClear();
    }
    // Another writer (batch tagging) stored new values of the list column `column` in the
    // current file: the editor brings them in, other unsaved edits kept.
    virtual void EditorColumnWritten(int column) { (void)column; }
    // Stops a running audition.
    virtual void EditorStopAudition() = 0;
};
