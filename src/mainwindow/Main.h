#pragma once

#include "TBroadcastSettings.h"
#include "TEditorDocument.h"
#include "TEditorLink.h"
#include "TEditorPages.h"
#include "TEditorValues.h"
#include "TMainSettings.h"
#include "TMarkerModel.h"

#include <QByteArray>
#include <QList>
#include <QMainWindow>

#include <cstdint>
#include <memory>

class QComboBox;
class QPushButton;
class TAuditionPanel;
class TBrowserPanel;
class TProfileFile;

// The program's main window: the tag editor for one file (single-file mode, started with
// a file argument) or the editor beside the folder browser (browser mode). A composition:
// the editor pages (PageControl), the audition and marker panel and, in browser mode, the
// browser panel (pnlBrowser) are widgets of their own; the editor document (Document) loads
// and saves the current file and the window shows what it gives. The window owns the state
// the panels share, keeps the handler names of the system as thin methods, and restores its
// layout and lists from Cuemark.ini at construction and writes them back at destruction.
class TFrmMain : public QMainWindow, public TEditorLink {
    Q_OBJECT

public:
    // When browser mode opens its start folder: during construction, or queued to run once
    // the window is shown (the program's start: a big folder on a share then fills a window
    // already on screen, with the list's progress, instead of keeping it from appearing).
    enum class TStartFolderOpening { Now, AfterShow };

    // arguments: the process arguments without the program name, as the bytes the
    // process received (a file name need not be valid UTF-8).
    explicit TFrmMain(const QList<QByteArray>& arguments, QWidget* parent = nullptr,
                      TStartFolderOpening opening = TStartFolderOpening::Now);
    ~TFrmMain() override;

    static QString ApplicationTitle() { return QStringLiteral("QAV Cuemark"); }

    // The current file, its unsaved edits, its load and save.
    TEditorDocument Document;
    bool BrowserMode = false;
    TMarkerModel Markers; // IntroMs, SegueMs, HookStartMs, HookEndMs, LengthMs
    uint32_t PlayHandle = 0;
    int DeviceIndex = 0;
    bool ToneMode = true; // marker display: tones (intro, segue) or hook
    std::unique_ptr<TProfileFile> Settings;
    // The settings as read at start; the end of the run writes them back with the window's
    // values (the browser's own values included, once it keeps them here).
    TMainSettings Layout;
    TBroadcastSettings Broadcast; // the "Broadcast chunks" setting, stored when changed

    void LoadCurrentFile();
    void ClearEditor();
    void EnablePageControls(QWidget* container, bool enable) {
        PageControl->EnablePageControls(container, enable);
    }
    void EnableFullTagControls(QWidget* container, bool enable) {
        PageControl->EnableFullTagControls(container, enable);
    }
    // Everything the editor shows, markers included, without widgets.
    TEditorValues EditorValues() const;

    // The save ("Save" button).
    void btnOk_OnClick() { Save(); }
    // The save; true when the file now holds the editor's values.
    bool Save();
    void btnCancel_OnClick();
    void btnAddId3v2_OnClick();
    // Offers to save unsaved changes of the current file. True when the caller may go on (no
    // changes, changes discarded, or saved); false when the save was wanted but failed, in
    // which case the edits stay and Modified stays set.
    bool PromptSaveChanges();
    void btnSetDate_OnClick(QObject* sender) { PageControl->btnSetDate_OnClick(sender); }
    void btnSetTime_OnClick(QObject* sender) { PageControl->btnSetTime_OnClick(sender); }

    // Change tracking.
    void edt_OnChange();
    void cbo_OnChange(QComboBox* combo) { PageControl->cbo_OnChange(combo); }
    void cboCategory_OnChange() { PageControl->cboCategory_OnChange(); }

    // The header dump of the current file's first 256 bytes; empty when it cannot be read.
    QString HeaderDumpText() const;
    void ShowHeaderDump();

    // Stops a running audition.
    void StopAudition();

    // Window activated: the focus goes to the list in browser mode.
    void Form_OnActivate();
    // What the browser asks of the editor.
    QByteArray EditorCurrentFile() const override { return Document.CurrentFile.Bytes(); }
    bool EditorPromptSaveChanges() override { return PromptSaveChanges(); }
    void EditorLoadFile(const QByteArray& path) override;
    void EditorClear() override { ClearEditor(); }
    // The list renamed the current file: the editor keeps its values and edits under the new name.
    void EditorFileRenamed(const QByteArray& path) override;
    void EditorColumnWritten(int column) override;
    void EditorStopAudition() override { StopAudition(); }

    QWidget* pnlBrowser = nullptr;           // the folder browser's place (browser mode)
    TEditorPages* PageControl = nullptr;     // the editor's pages and fields
    TAuditionPanel* AuditionPanel = nullptr; // the controls on PageControl->pnlTransport
    QPushButton* btnAddId3v2 = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
    TBrowserPanel* Browser = nullptr; // in pnlBrowser, browser mode only

signals:
    // Browser mode: the folder monitor's notices off (false) while a save writes, on again
    // (true) whatever its outcome.
    void ChangeNotices(bool on);
    // A save stored the current file (the list re-reads its row).
    void FileSaved(const TFilePath& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    void BuildLayout();
    void ReadSettings();
    void WriteSettings();
    void RestorePosition();
    void SetSaveEnabled(bool enabled);
    void ShowMarkers();
    // The notice for cart fields stored shortened, and the Broadcast page re-read.
    void ShowBroadcastAfterSave(const TEditorValues& values);
    // Browser mode: the browser panel, its columns and the first folder.
    void CreateBrowser();
    void OpenStartFolder();
};
