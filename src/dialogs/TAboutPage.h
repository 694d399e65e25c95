#pragma once

#include "TRegistryStore.h"

#include <QStringList>
#include <QWidget>

class QCheckBox;
class TBroadcastChoice;
class QComboBox;
class QLabel;
class QTreeWidget;

// The editor's "A&bout" page: identifies the program and its two service libraries
// from their version blocks, and holds the two audition settings, the output device
// (stored in the registry on every pick) and "Force use of ACM CODEC" (stored by the
// main window as Main/UseCodec).
class TAboutPage : public QWidget {
    Q_OBJECT

public:
    explicit TAboutPage(QWidget* parent = nullptr);

    // Fills the page once during the main window's start-up and chooses the output
    // device from `registry` and the command-line `arguments` (those after the
    // program name). The program's own file and the two loaded libraries (playback,
    // then tagging, found through the bound operations of AudioLibs()) are read.
    // Returns DeviceIndex.
    int FillAboutPage(const TRegistryStore& registry, const QStringList& arguments);
    // The same with the module files given: `libraryPaths` in row order.
    int FillAboutPage(const TRegistryStore& registry, const QStringList& arguments,
                      const QString& programPath, const QStringList& libraryPaths);

    // The chosen device; may lie outside the list when the switch or the registry
    // named one that does not exist (the list then shows its first entry).
    int DeviceIndex() const { return Device; }
    bool UseCodec() const;
    void SetUseCodec(bool on);

    // Full path of the loaded module that holds `symbol`; empty when unknown.
    static QString ModulePath(const void* symbol);

    QLabel* ImageQAVLogo;
    QLabel* Label1;
    QLabel* UrlLabel1;
    QLabel* lblFileDescription;
    QLabel* lblFileVersion;
    QLabel* Label2;
    QTreeWidget* lvwModules;
    QLabel* Label3;
    QComboBox* cboOutputDevices;
    QCheckBox* chkUseCodec;
    // The "Broadcast chunks" setting; the main window reads and stores it.
    TBroadcastChoice* BroadcastChoice;

signals:
    // The user picked a device; it has been stored.
    void DeviceIndexChanged(int index);

private:
    void cboOutputDevices_OnChange(int index);
    void UrlLabel1_OnContextMenu(const QPoint& pos);

    TRegistryStore Registry;
    int Device = 0;
};
