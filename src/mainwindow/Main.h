#pragma once

#include "TEditorValues.h"
#include "TMarkerModel.h"

#include <QHash>
#include <QMainWindow>
#include <QStringList>

#include <cstdint>
#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QToolButton;
class TAboutPage;
class TAuditionPanel;
class TMaskedEdit;
class TMemo;
class TProfileFile;

// The program's main window: the tag editor for one file (single-file mode, started with
// a file argument) or the editor beside the folder browser (browser mode). It owns the
// editor state shared by the other parts of the window, restores its layout and lists
// from Cuemark.ini at construction and writes them back at destruction.
class TFrmMain : public QMainWindow {
    Q_OBJECT

public:
    // arguments: the process arguments without the program name.
    explicit TFrmMain(const QStringList& arguments, QWidget* parent = nullptr);
    ~TFrmMain() override;

    // Page indexes as "ActivePage" stores them; the Image page is never shown.
    enum TPageIndex {
        piDescription = 0,
        piTimes = 1,
        piAuthoring = 2,
        piCommercial = 3,
        piImage = 4,
        piMusic = 5,
        piAbout = 6
    };

    static QString ApplicationTitle() { return QStringLiteral("QAV Cuemark"); }

    // --- shared editor state ---------------------------------------------------------
    QString CurrentFile;
    bool BrowserMode = false;
    bool Modified = false;
    bool Loading = false;
    TMarkerModel Markers; // IntroMs, SegueMs, HookStartMs, HookEndMs, LengthMs
    uint32_t PlayHandle = 0;
    int DeviceIndex = 0;
    bool ToneMode = true; // marker display: tones (intro, segue) or hook
    std::unique_ptr<TProfileFile> Settings;

    // --- editor -----------------------------------------------------------------------
    void LoadCurrentFile();
    void ClearEditor();
    void EnablePageControls(QWidget* container, bool enable);
    void EnableFullTagControls(QWidget* container, bool enable);
    // The six containers of editor controls, in the order loading enables them.
    QList<QWidget*> EditorContainers() const;

    // The save ("Save" button).
    void btnOk_OnClick();
    void btnCancel_OnClick();
    void btnAddId3v2_OnClick();
    // Offers to save unsaved changes of CurrentFile.
    void PromptSaveChanges();
    void btnSetDate_OnClick(QObject* sender);
    void btnSetTime_OnClick(QObject* sender);

    // Change tracking.
    void edt_OnChange();
    void cbo_OnChange(QComboBox* combo);
    void cboCategory_OnChange();

    // The field widget of a key (nullptr for the markers and unknown keys) and its label.
    QWidget* FieldWidget(const QString& key) const { return Fields.value(key); }
    QLabel* FieldLabel(const QString& key) const { return Labels.value(key); }
    // The field's text as it would be stored (memo line breaks as CR LF).
    QString FieldText(const QString& key) const;
    void SetFieldText(const QString& key, const QString& text);
    // Everything the editor shows, without widgets.
    TEditorValues EditorValues() const;

    // The header dump of CurrentFile's first 256 bytes; empty when it cannot be read.
    QString HeaderDumpText() const;
    void ShowHeaderDump();

    // Stops a running audition (the transport panel builds on this).
    void StopAudition();

    // --- controls ---------------------------------------------------------------------
    QWidget* pnlBrowser = nullptr; // the folder browser's place (browser mode)
    QTabWidget* PageControl = nullptr;
    QWidget* tabDescription = nullptr;
    QWidget* tabTimes = nullptr;
    QWidget* tabAuthoring = nullptr;
    QWidget* tabCommercial = nullptr;
    QWidget* tabImage = nullptr;
    QWidget* tabMusic = nullptr;
    QWidget* tabAbout = nullptr;
    QFrame* pnlTransport = nullptr;          // audition and marker controls
    TAuditionPanel* AuditionPanel = nullptr; // the controls on pnlTransport (owned by it)

    QLineEdit* edtTitle = nullptr;
    QLineEdit* edtArtist = nullptr;
    QComboBox* cboCategory = nullptr;
    QCheckBox* chkNoFade = nullptr;
    QLineEdit* txtLocation = nullptr;
    QLineEdit* txtFormat = nullptr;
    TMaskedEdit* edtStartDate = nullptr;
    TMaskedEdit* edtStartTime = nullptr;
    TMaskedEdit* edtEndDate = nullptr;
    TMaskedEdit* edtEndTime = nullptr;
    TMaskedEdit* edtStartWindow = nullptr;
    TMaskedEdit* edtEndWindow = nullptr;
    QToolButton* btnStartDate = nullptr;
    QToolButton* btnEndDate = nullptr;
    QToolButton* btnStartTime = nullptr;
    QToolButton* btnEndTime = nullptr;
    QToolButton* btnStartWindow = nullptr;
    QToolButton* btnEndWindow = nullptr;
    QComboBox* cboGenre = nullptr;
    QCheckBox* chkUseCodec = nullptr;
    TAboutPage* AboutPage = nullptr;

    QPushButton* btnAddId3v2 = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildLayout();
    void BuildDescriptionPage();
    void BuildTimesPage();
    // A page of label-over-field rows for the keys of `page`, in catalogue order.
    void BuildSimplePage(QWidget* pageWidget, int page);
    QWidget* CreateField(const QString& key, QWidget* parent);
    void ConnectChangeTracking();

    void ReadSettings();
    void WriteSettings();
    void ShowPage(int index);

    void SetLocation(const QString& path);
    QString FormatDescription(bool isMpeg);
    void SelectCategory(const QString& text);
    void ShowMarkers();
    void SetSaveEnabled(bool enabled);
    // Writes into a field through a dialog count as typing.
    void SetFieldFromDialog(TMaskedEdit* field, const QString& text);

    QHash<QString, QWidget*> Fields;
    QHash<QString, QLabel*> Labels;
    QString Arguments0;
    int LastComboKey = 0;
};
