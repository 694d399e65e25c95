// The broadcast chunks in the real window with the real libraries: a cart from another
// system opens with its values and markers, the Broadcast page lists what is stored and
// whether it is in step, the setting on the About page is kept in Cuemark.ini and reaches
// the save, and a shortened cart field gives one notice.
#include "AudioFixtures.h"
#include "Main.h"
#include "TAboutPage.h"
#include "TAudioLibs.h"
#include "TBroadcastChoice.h"
#include "TBroadcastPage.h"
#include "TScriptedMessages.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

#include <sndfile.h>

#include <cstring>

namespace {

using TCartInfo = SF_CART_INFO_VAR(256);

// A one-second file with a cart as a playout system writes it, and no INFO.
bool WriteCartFile(const std::string& path) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f)
        return false;
    TCartInfo cart{};
    std::memcpy(cart.version, "0101", 4);
    std::strcpy(cart.title, "Cart title");
    std::strcpy(cart.artist, "Cart artist");
    std::strcpy(cart.category, "SPOT");
    std::memcpy(cart.start_date, "2026-03-01", 10);
    std::memcpy(cart.start_time, "06:30:00", 8);
    std::memcpy(cart.post_timers[0].usage, "INTe", 4);
    cart.post_timers[0].value = 22050;
    const bool ok = sf_command(f, SFC_SET_CART_INFO, &cart, sizeof cart) == SF_TRUE;
    std::vector<short> samples(44100, 100);
    sf_writef_short(f, samples.data(), 44100);
    sf_close(f);
    return ok;
}

std::string StoredCartTitle(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f)
        return "<unreadable>";
    TCartInfo cart{};
    const bool ok = sf_command(f, SFC_GET_CART_INFO, &cart, sizeof cart) == SF_TRUE;
    sf_close(f);
    return ok ? std::string(cart.title, ::strnlen(cart.title, 64)) : "<no cart>";
}

QStringList Rows(const QTreeWidget* tree) {
    QStringList rows;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        rows << tree->topLevelItem(i)->text(0) + "=" + tree->topLevelItem(i)->text(1);
    return rows;
}

class BroadcastPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            qputenv(name, QByteArray::fromStdString(Dir.File(name)));
        qputenv("CUEMARK_SETTINGS_DIR", QByteArray::fromStdString(Dir.File("settings")));
        qputenv("SDL_AUDIODRIVER", "dummy");
        const auto result = Binder.Load();
        ASSERT_EQ(result.Outcome, TAudioLibsBinder::TOutcome::Bound) << result.Message;
    }
    void TearDown() override { Binder.Release(); }

    QString SettingsText() const {
        QFile file(QString::fromStdString(Dir.File("settings")) + "/Cuemark.ini");
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    TTempDir Dir;
    TScriptedMessages Messages;
    TAudioLibsBinder Binder;
};

} // namespace

TEST_F(BroadcastPageTest, AForeignCartOpensWithItsValuesAndThePageFollowsTheEdits) {
    const std::string path = Dir.File("spot.wav");
    ASSERT_TRUE(WriteCartFile(path));
    TFrmMain w({QByteArray::fromStdString(path)});
    w.show();
    EXPECT_EQ(w.PageControl->edtTitle->text(), "Cart title");
    EXPECT_EQ(w.PageControl->FieldText("IART"), "Cart artist");
    EXPECT_EQ(w.PageControl->FieldText("IGNR"), "03/01/2026");
    EXPECT_EQ(w.Markers.IntroMs, 500);
    EXPECT_FALSE(w.Document.Modified);

    TBroadcastPage* page = w.PageControl->BroadcastPage;
    const QStringList rows = Rows(page->lvwBroadcast);
    EXPECT_TRUE(rows.contains("cart.Title=Cart title")) << rows.join('|').toStdString();
    EXPECT_TRUE(rows.contains("cart.PostTimer1=INTe  00:00.5  (22050 frames)"))
        << rows.join('|').toStdString();
    EXPECT_TRUE(page->lblInStep->text().contains("is in step"))
        << page->lblInStep->text().toStdString();

    w.PageControl->edtTitle->setText("Edited title");
    w.PageControl->ShowPage(TEditorPages::piBroadcast);
    EXPECT_TRUE(page->lblInStep->text().contains("not in step with the editor's values: Title"))
        << page->lblInStep->text().toStdString();
}

TEST_F(BroadcastPageTest, TheSettingIsStoredAndASaveWithAShortenedFieldGivesOneNotice) {
    const std::string path = Dir.File("plain.wav");
    ASSERT_TRUE(Fixtures::WritePcmWav(path, {44100, 1, 0.5, 440.0}, SF_FORMAT_PCM_16));
    // 40 characters the field takes, 80 bytes the cart's 64 cannot.
    const QString longTitle = QString(40, QChar(0xE9));
    {
        TFrmMain w({QByteArray::fromStdString(path)});
        w.show();
        TBroadcastChoice* choice = w.PageControl->AboutPage->BroadcastChoice;
        EXPECT_EQ(choice->Mode(), 0);
        // The user picks "Always write a cart" and the Genesys timers.
        choice->cboBroadcastChunks->setCurrentIndex(1);
        emit choice->cboBroadcastChunks->activated(1);
        choice->cboTimerProfile->setCurrentIndex(1);
        emit choice->cboTimerProfile->activated(1);
        EXPECT_TRUE(SettingsText().contains("[Broadcast]\r\nChunks=Always\r\nTimers=Genesys") ||
                    SettingsText().contains("[Broadcast]\nChunks=Always\nTimers=Genesys"))
            << SettingsText().toStdString();
        w.PageControl->edtTitle->setText(longTitle);
        w.btnOk_OnClick();
    }
    EXPECT_EQ(StoredCartTitle(path), QString(32, QChar(0xE9)).toStdString());
    const QStringList notices = Messages.Texts(TScriptedMessages::TKind::Information);
    ASSERT_EQ(notices.size(), 1) << Messages.Texts().join('|').toStdString();
    EXPECT_TRUE(notices[0].contains("shortened copy of: Title")) << notices[0].toStdString();

    // The next start takes the stored setting.
    Messages.Clear();
    TFrmMain again({QByteArray::fromStdString(path)});
    EXPECT_EQ(again.PageControl->AboutPage->BroadcastChoice->Mode(), 1);
    EXPECT_EQ(again.PageControl->AboutPage->BroadcastChoice->Profile(), 1);
    EXPECT_EQ(again.PageControl->edtTitle->text(), longTitle); // INFO keeps it whole
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
