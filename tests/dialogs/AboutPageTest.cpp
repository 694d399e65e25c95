// The About page: program and library identity from version blocks, the device
// list and its selection, a user's pick stored in the registry, and the page
// filled from the real libraries as start-up loads them.

#include "ElfFixture.h"
#include "TAboutPage.h"
#include "TAudioLibs.h"
#include "TDeviceChoice.h"
#include "TRegistryStore.h"
#include "TScriptedAudioLibs.h"
#include "TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <dlfcn.h>

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QString WaveMapper = "Automatically Asssigned (Wave Mapper)";

class AboutPage : public testing::Test {
protected:
    TTempDir Dir;
    TScriptedAudioLibs Libs;
    TRegistryStore Registry{Path("registry.reg")};

    QString Path(const char* name) const { return QString::fromStdString(Dir.File(name)); }
    QString WriteModule(const char* name, const QByteArray& block) {
        EXPECT_TRUE(TElfFixture(block).Write(Path(name)));
        return Path(name);
    }
    QStringList Items(const QComboBox* combo) const {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return items;
    }
};

TEST_F(AboutPage, ShowsTheProgramAndOneRowPerLibraryWithAVersionBlock) {
    const QString program = WriteModule("cuemark", VersionBlock("Cuemark", "1.2.3.4", "1,2,3,4"));
    const QString playback =
        WriteModule("libsonara.so", VersionBlock("Playback", "3.1.0.7", "3,1,0,7"));
    const QString tagging = WriteModule("libriffkit.so", "no block here");

    TAboutPage page;
    page.FillAboutPage(Registry, {}, program, {playback, tagging});
    EXPECT_EQ(page.lblFileDescription->text(), "Cuemark");
    EXPECT_EQ(page.lblFileVersion->text(), "1.2.3.4");
    EXPECT_TRUE(page.lblFileDescription->font().bold());
    EXPECT_TRUE(page.lblFileVersion->font().bold());

    QTreeWidget* modules = page.lvwModules;
    EXPECT_EQ(modules->headerItem()->text(0), "Module");
    EXPECT_EQ(modules->headerItem()->text(1), "Version");
    EXPECT_EQ(modules->columnWidth(0), 150);
    EXPECT_EQ(modules->columnWidth(1), 100);
    EXPECT_FALSE(modules->header()->sectionsClickable());
    ASSERT_EQ(modules->topLevelItemCount(), 1);
    EXPECT_EQ(modules->topLevelItem(0)->text(0), "libsonara.so");
    EXPECT_EQ(modules->topLevelItem(0)->text(1), "3.1.0.7");
}

TEST_F(AboutPage, ProgramWithoutVersionBlock) {
    TAboutPage page;
    page.FillAboutPage(Registry, {}, Path("missing"), {Path("missing.so"), ""});
    EXPECT_EQ(page.lblFileDescription->text(), "Cuemark");
    EXPECT_EQ(page.lblFileVersion->text(), "?");
    EXPECT_EQ(page.lvwModules->topLevelItemCount(), 0);
}

TEST_F(AboutPage, DeviceListSelectsTheChosenDevice) {
    Libs.DeviceNames = {"Speakers", "Headphones"};
    ASSERT_TRUE(
        Registry.WriteString(TDeviceChoice::ProgramKey(), TDeviceChoice::ProgramValue(), "1"));

    TAboutPage page;
    EXPECT_EQ(page.FillAboutPage(Registry, {}, Path("x"), {}), 1);
    EXPECT_EQ(Items(page.cboOutputDevices), QStringList({"Speakers", "Headphones", WaveMapper}));
    EXPECT_FALSE(page.cboOutputDevices->isEditable());
    EXPECT_EQ(page.cboOutputDevices->currentIndex(), 1);
    EXPECT_EQ(page.DeviceIndex(), 1);

    // The last entry can be chosen like any other.
    TAboutPage mapper;
    mapper.FillAboutPage(Registry, {"/device:2"}, Path("x"), {});
    EXPECT_EQ(mapper.cboOutputDevices->currentText(), WaveMapper);
}

TEST_F(AboutPage, DeviceOutsideTheListShowsTheFirstEntryAndIsKept) {
    Libs.DeviceNames = {"Speakers"};
    TAboutPage page;
    EXPECT_EQ(page.FillAboutPage(Registry, {"/DEVICE:9"}, Path("x"), {}), 9);
    EXPECT_EQ(page.cboOutputDevices->currentIndex(), 0);
    EXPECT_EQ(page.DeviceIndex(), 9);

    Libs.NumOutputDevices = 0;
    TAboutPage empty;
    empty.FillAboutPage(Registry, {}, Path("x"), {});
    EXPECT_EQ(Items(empty.cboOutputDevices), QStringList({WaveMapper}));
    EXPECT_EQ(empty.cboOutputDevices->currentIndex(), 0);
}

TEST_F(AboutPage, PickingADeviceStoresIt) {
    Libs.DeviceNames = {"Speakers", "Headphones"};
    TAboutPage page;
    QSignalSpy picked(&page, &TAboutPage::DeviceIndexChanged);
    page.FillAboutPage(Registry, {}, Path("x"), {});
    // Filling the page writes nothing.
    EXPECT_EQ(picked.count(), 0);
    EXPECT_EQ(Registry.ReadString("Software\\QAV\\Cuemark", "OutputDevice"), "");

    page.show();
    page.cboOutputDevices->setFocus();
    QTest::keyClick(page.cboOutputDevices, Qt::Key_Down);
    EXPECT_EQ(Registry.ReadString("Software\\QAV\\Cuemark", "OutputDevice"), "1");
    EXPECT_EQ(page.DeviceIndex(), 1);
    ASSERT_EQ(picked.count(), 1);
    EXPECT_EQ(picked[0][0].toInt(), 1);

    QTest::keyClick(page.cboOutputDevices, Qt::Key_Down);
    EXPECT_EQ(Registry.ReadString("Software\\QAV\\Cuemark", "OutputDevice"), "2");
    EXPECT_EQ(page.DeviceIndex(), 2);
}

TEST_F(AboutPage, CodecBox) {
    TAboutPage page;
    EXPECT_EQ(page.chkUseCodec->text(), "Force use of ACM CODEC");
    EXPECT_FALSE(page.UseCodec());
    page.SetUseCodec(true);
    EXPECT_TRUE(page.chkUseCodec->isChecked());
    EXPECT_TRUE(page.UseCodec());
}

// The libraries found through their bound operations, as start-up binds them. They
// are opened by full path here: under ASan the loader's search by name does not see
// the test program's RUNPATH.
TEST(AboutPageLibraries, RowsForTheLoadedLibraries) {
    const QDir bin(QCoreApplication::applicationDirPath());
    const QString sonaraPath = bin.filePath("libsonara.so");
    const QString riffkitPath = bin.filePath("libriffkit.so");
    if (!QFileInfo::exists(sonaraPath) || !QFileInfo::exists(riffkitPath))
        GTEST_SKIP() << "the service libraries are not built beside the test";
    void* sonara = dlopen(sonaraPath.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    void* riffkit = dlopen(riffkitPath.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(sonara, nullptr) << dlerror();
    ASSERT_NE(riffkit, nullptr) << dlerror();
    const TAudioLibs previous = AudioLibs();
    TAudioLibs libs;
    libs.SN_GetNumOutputDevices = reinterpret_cast<decltype(libs.SN_GetNumOutputDevices)>(
        dlsym(sonara, "SN_GetNumOutputDevices"));
    libs.SN_GetOutputDeviceName = reinterpret_cast<decltype(libs.SN_GetOutputDeviceName)>(
        dlsym(sonara, "SN_GetOutputDeviceName"));
    libs.OpenWavFile = reinterpret_cast<decltype(libs.OpenWavFile)>(dlsym(riffkit, "OpenWavFile"));
    ASSERT_TRUE(libs.SN_GetNumOutputDevices && libs.SN_GetOutputDeviceName && libs.OpenWavFile);
    SetAudioLibs(libs);

    TTempDir dir;
    TRegistryStore registry(QString::fromStdString(dir.File("registry.reg")));
    TAboutPage page;
    page.FillAboutPage(registry, {});
    SetAudioLibs(previous);

    ASSERT_EQ(page.lvwModules->topLevelItemCount(), 2);
    EXPECT_EQ(page.lvwModules->topLevelItem(0)->text(0), "libsonara.so");
    EXPECT_EQ(page.lvwModules->topLevelItem(1)->text(0), "libriffkit.so");
    for (int row = 0; row < 2; ++row)
        EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d+\\.\\d+\\.\\d+$")
                        .match(page.lvwModules->topLevelItem(row)->text(1))
                        .hasMatch());
    // The test program carries no block of its own.
    EXPECT_EQ(page.lblFileVersion->text(), "?");
    EXPECT_EQ(page.cboOutputDevices->itemText(page.cboOutputDevices->count() - 1), WaveMapper);
    // The libraries stay loaded to the end of the process, as in the program.
}

} // namespace

int main(int argc, char** argv) {
    // Playback devices without sound hardware.
    qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
