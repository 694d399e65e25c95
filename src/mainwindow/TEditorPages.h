#pragma once

#include "TEditorValidation.h"
#include "TEditorValues.h"

#include <QHash>
#include <QStringList>
#include <QTabWidget>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QToolButton;
class TAboutPage;
class TBroadcastPage;
class TMaskedEdit;
struct TMainSettings;

// The editor's page control: the pages "&Description / Tones", "&Times / Album",
// "&Authoring", "&Commercial", the never-shown "Image", "Music" and "A&bout", and every
// field on them. It shows and takes the editor's values, applies the enabling rules of the
// controls' marks, completes typed categories and genres, and runs the date and time
// pickers. It knows nothing of the window: every change the user makes is raised as
// Changed, and the window decides what a change means (Modified, Save).
class TEditorPages : public QTabWidget {
    Q_OBJECT

public:
    // Page indexes as "ActivePage" stores them; the Image page is never shown.
    enum TPageIndex {
        piDescription = 0,
        piTimes = 1,
        piAuthoring = 2,
        piCommercial = 3,
        piImage = 4,
        piMusic = 5,
        piAbout = 6,
        piBroadcast = 7 // after About, so the stored indexes of the others keep their pages
    };

    explicit TEditorPages(QWidget* parent = nullptr);

    // Shows page `index`; the Image page and values outside the pages show the first one.
    void ShowPage(int index);

    // The pages' part of the window's settings: the category list (one "AUDIO" entry when it
    // is empty), the page in front and the codec switch.
    void ReadSettings(const TMainSettings& settings);
    // A typed category joins the list before it is stored.
    void WriteSettings(TMainSettings& settings);
    // The About page's "Force use of ACM CODEC".
    bool UseCodec() const;

    // The six containers of editor controls, in the order loading enables them.
    QList<QWidget*> EditorContainers() const;
    void EnablePageControls(QWidget* container, bool enable);
    void EnableFullTagControls(QWidget* container, bool enable);
    // A file whose tag holds only the ID3v1 fields: everything else is disabled, and the
    // ID3v1 fields take only what ID3v1 can hold (30 characters, a 4-digit year, a genre
    // of the list). false lifts both.
    void RestrictToId3v1(bool restricted);
    bool RestrictedToId3v1() const { return Id3v1Only; }

    QWidget* FieldWidget(const QString& key) const { return Fields.value(key); }
    QLabel* FieldLabel(const QString& key) const { return Labels.value(key); }
    // The field's text as it would be stored (memo line breaks as CR LF).
    QString FieldText(const QString& key) const;
    void SetFieldText(const QString& key, const QString& text);
    // Every field and the "No fade at segue" box (the markers are the window's).
    TEditorValues Values() const;
    // Fills the fields in the order loading fills them; the location and the format are
    // set apart (SetLocation, SetFormat).
    void ShowValues(const TEditorValues& values);
    // The location field: the path shortened to fit, its tooltip the whole path.
    void SetLocation(const QString& path);
    // The format read-out; its tooltip carries the whole text, which can be selected.
    void SetFormat(const QString& text);
    // The part of clearing the editor that concerns the fields' selections.
    void ResetSelections();
    // The Times page in front and the failing field focused.
    void ShowValidationFailure(const TEditorValidation::TFailure& failure);

    QStringList Categories() const;
    void AddCategory(const QString& category);
    // Selects the first entry equal to `text`, appending it when there is none.
    void SelectCategory(const QString& text);
    // The text in the box joins the list when it is not an entry.
    void KeepTypedCategory();

    // Completion of the typed text for the category and genre boxes.
    void cbo_OnChange(QComboBox* combo);
    void cboCategory_OnChange();
    void btnSetDate_OnClick(QObject* sender);
    void btnSetTime_OnClick(QObject* sender);

    QWidget* tabDescription = nullptr;
    QWidget* tabTimes = nullptr;
    QWidget* tabAuthoring = nullptr;
    QWidget* tabCommercial = nullptr;
    QWidget* tabImage = nullptr;
    QWidget* tabMusic = nullptr;
    TAboutPage* AboutPage = nullptr;
    QWidget* tabAbout = nullptr;
    TBroadcastPage* BroadcastPage = nullptr;
    QFrame* pnlTransport = nullptr; // audition and marker controls (the window fills it)

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

signals:
    // The user changed a field (typing, a pick, a dialog's value).
    void Changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildDescriptionPage();
    void BuildTimesPage();
    // A page of label-over-field rows for the keys of `page`, in catalogue order.
    void BuildSimplePage(QWidget* pageWidget, int page);
    QWidget* CreateField(const QString& key, QWidget* parent);
    QLabel* NewLabel(const QString& key, const QString& caption, QWidget* buddy, QWidget* parent,
                     bool id3v1);
    void ConnectChangeTracking();
    // Writes into a field through a dialog count as typing.
    void SetFieldFromDialog(TMaskedEdit* field, const QString& text);
    void ApplyId3v1Limits();

    QHash<QString, QWidget*> Fields;
    QHash<QString, QLabel*> Labels;
    int LastComboKey = 0;
    bool Id3v1Only = false;
};
