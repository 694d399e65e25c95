#include "TAboutPage.h"

#include "Fileversion.h"
#include "TAudioLibs.h"
#include "TBroadcastChoice.h"
#include "TDeviceChoice.h"
#include "TSettingsLocation.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <dlfcn.h>

namespace {

const char* const MakerName = "QAV Broadcast Software";
const char* const MakerAddress = "https://www.qav.example/";

// The maker's logo, drawn rather than shipped as a picture.
QPixmap Logo() {
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0, 70, 140));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(1, 1, 46, 46), 8, 8);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(16);
    painter.setFont(font);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, "QAV");
    return pixmap;
}

QLabel* BoldLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

} // namespace

TAboutPage::TAboutPage(QWidget* parent) : QWidget(parent) {
    ImageQAVLogo = new QLabel(this);
    ImageQAVLogo->setObjectName("ImageQAVLogo");
    ImageQAVLogo->setPixmap(Logo());
    Label1 = new QLabel(MakerName, this);
    Label1->setObjectName("Label1");
    UrlLabel1 = new QLabel(this);
    UrlLabel1->setObjectName("UrlLabel1");
    UrlLabel1->setText(QString("<a href=\"%1\">%1</a>").arg(MakerAddress));
    UrlLabel1->setOpenExternalLinks(true);
    UrlLabel1->setContextMenuPolicy(Qt::CustomContextMenu);
    lblFileDescription = BoldLabel(this);
    lblFileDescription->setObjectName("lblFileDescription");
    lblFileVersion = BoldLabel(this);
    lblFileVersion->setObjectName("lblFileVersion");
    Label2 = new QLabel("Tags and markers for broadcast audio files.", this);
    Label2->setObjectName("Label2");
    Label2->setWordWrap(true);

    lvwModules = new QTreeWidget(this);
    lvwModules->setObjectName("lvwModules");
    lvwModules->setColumnCount(2);
    lvwModules->setHeaderLabels({"Module", "Version"});
    lvwModules->setColumnWidth(0, 150);
    lvwModules->setColumnWidth(1, 100);
    lvwModules->header()->setSectionsClickable(false);
    lvwModules->setRootIsDecorated(false);
    lvwModules->setItemsExpandable(false);
    lvwModules->setSortingEnabled(false);

    Label3 = new QLabel("Output device for audition", this);
    Label3->setObjectName("Label3");
    cboOutputDevices = new QComboBox(this);
    cboOutputDevices->setObjectName("cboOutputDevices");
    cboOutputDevices->setEditable(false);
    Label3->setBuddy(cboOutputDevices);
    chkUseCodec = new QCheckBox("Force use of ACM CODEC", this);
    chkUseCodec->setObjectName("chkUseCodec");

    auto* maker = new QVBoxLayout;
    maker->addWidget(Label1);
    maker->addWidget(UrlLabel1);
    auto* head = new QHBoxLayout;
    head->addWidget(ImageQAVLogo);
    head->addLayout(maker, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(lblFileDescription);
    layout->addWidget(lblFileVersion);
    layout->addWidget(Label2);
    layout->addWidget(lvwModules, 1);
    layout->addWidget(Label3);
    layout->addWidget(cboOutputDevices);
    layout->addWidget(chkUseCodec);
    BroadcastChoice = new TBroadcastChoice(this);
    layout->addWidget(BroadcastChoice);

    // activated: only the user's picks, not the program's own selection.
    connect(cboOutputDevices, &QComboBox::activated, this, &TAboutPage::cboOutputDevices_OnChange);
    connect(UrlLabel1, &QLabel::customContextMenuRequested, this,
            &TAboutPage::UrlLabel1_OnContextMenu);
}

int TAboutPage::FillAboutPage(const TRegistryStore& registry, const QStringList& arguments) {
    const TAudioLibs& libs = AudioLibs();
    return FillAboutPage(registry, arguments, TSettingsLocation::ExecutablePath(),
                         {ModulePath(reinterpret_cast<const void*>(libs.SN_GetNumOutputDevices)),
                          ModulePath(reinterpret_cast<const void*>(libs.OpenWavFile))});
}

int TAboutPage::FillAboutPage(const TRegistryStore& registry, const QStringList& arguments,
                              const QString& programPath, const QStringList& libraryPaths) {
    Registry = registry;

    TFileVersion version;
    if (version.ReadVersionInfo(programPath)) {
        const auto fixed = version.GetFixedFileVersion();
        lblFileDescription->setText(version.GetVersionString("FileDescription"));
        lblFileVersion->setText(
            QString("%1.%2.%3.%4").arg(fixed[0]).arg(fixed[1]).arg(fixed[2]).arg(fixed[3]));
    } else {
        lblFileDescription->setText("Cuemark");
        lblFileVersion->setText("?");
    }

    lvwModules->clear();
    for (const QString& path : libraryPaths) {
        TFileVersion module;
        if (path.isEmpty() || !module.ReadVersionInfo(path))
            continue;
        auto* row = new QTreeWidgetItem(lvwModules);
        row->setText(0, QFileInfo(path).fileName());
        row->setText(1, module.GetVersionString("FileVersion"));
    }

    Device = TDeviceChoice::Choose(registry, arguments);

    cboOutputDevices->clear();
    cboOutputDevices->addItems(TDeviceChoice::DeviceNames(AudioLibs()));
    if (Device >= 0 && Device < cboOutputDevices->count())
        cboOutputDevices->setCurrentIndex(Device);
    else
        cboOutputDevices->setCurrentIndex(0);
    return Device;
}

bool TAboutPage::UseCodec() const {
    return chkUseCodec->isChecked();
}

void TAboutPage::SetUseCodec(bool on) {
    chkUseCodec->setChecked(on);
}

QString TAboutPage::ModulePath(const void* symbol) {
    if (!symbol)
        return {};
    Dl_info info{};
    if (dladdr(symbol, &info) == 0 || !info.dli_fname || !*info.dli_fname)
        return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
}

void TAboutPage::cboOutputDevices_OnChange(int index) {
    if (index < 0)
        return;
    TDeviceChoice::Store(Registry, index);
    Device = index;
    emit DeviceIndexChanged(index);
}

void TAboutPage::UrlLabel1_OnContextMenu(const QPoint& pos) {
    QMenu menu(this);
    menu.addAction("Copy", this, [] { QApplication::clipboard()->setText(MakerAddress); });
    menu.exec(UrlLabel1->mapToGlobal(pos));
}
