// The widget side of file management: the operations' boxes, the item menu, the drop menu.
#include "ItemProp.h"
#include "TDropMenu.h"
#include "TFileClipboard.h"
#include "TFileOperationUi.h"
#include "TFrmProperties.h"
#include "TScriptedMessages.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMimeData>

#include <filesystem>
#include <fstream>
#include <sys/mount.h>
#include <unistd.h>

namespace fs = std::filesystem;
using TKind = TScriptedMessages::TKind;

namespace {

QByteArray Raw(const fs::path& path) {
    return QByteArray::fromStdString(path.string());
}

QStringList ShownTexts(const QMenu& menu) {
    QStringList texts;
    for (const QAction* action : menu.actions())
        texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

QAction* ByText(QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

class ShellFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        Dir.BecomeHome();
        fs::create_directories(Dir.Path() / "shown");
        for (const char* name : {"a.wav", "b.wav", "caf\xe9.wav"})
            std::ofstream(Dir.Path() / "shown" / name) << name;
        Shown = Raw(Dir.Path() / "shown");
        Runners.Opener = [this](const QByteArray& path) {
            Opened.append(path);
            return true;
        };
    }

    // Picks the entry with the text from the next menu shown, remembering the menu's texts.
    void PickNext(const QString& text) {
        Runners.MenuRunner = [this, text](QMenu& menu, const QPoint&) {
            MenuTexts = ShownTexts(menu);
            DefaultText = menu.defaultAction() ? menu.defaultAction()->text() : QString();
            return text.isEmpty() ? nullptr : ByText(menu, text);
        };
    }

    TTempDir Dir;
    ItemProp::TRunners Runners; // what the operations under test open and show with
    QByteArray Shown;
    TScriptedMessages Boxes;
    QList<QByteArray> Opened;
    QStringList MenuTexts;
    QString DefaultText;
};

TEST_F(ShellFileTest, ItemMenuOffersRenameAndPropertiesForOneItemOnly) {
    bool rename = true;
    bool cut = true;
    PickNext({});
    EXPECT_TRUE(
        ItemProp::DisplayContextMenu(Shown, {"a.wav"}, nullptr, {}, true, &rename, &cut, Runners));
    EXPECT_EQ(MenuTexts, QStringList({"&Open", "-", "Cu&t", "&Copy", "-", "&Delete", "Rena&me", "-",
                                      "P&roperties"}));
    EXPECT_EQ(DefaultText, "&Open");
    EXPECT_FALSE(rename); // dismissed: success, both flags clear
    EXPECT_FALSE(cut);

    EXPECT_TRUE(ItemProp::DisplayContextMenu(Shown, {"a.wav", "b.wav"}, nullptr, {}, false, &rename,
                                             &cut, Runners));
    EXPECT_EQ(MenuTexts, QStringList({"&Open", "-", "Cu&t", "&Copy", "-", "&Delete"}));

    // Names that are not there are left out; with none left there is no menu.
    MenuTexts.clear();
    EXPECT_FALSE(ItemProp::DisplayContextMenu(Shown, {"gone.wav"}, nullptr, {}, true, &rename,
                                              nullptr, Runners));
    EXPECT_TRUE(MenuTexts.isEmpty());
}

TEST_F(ShellFileTest, ItemMenuCommands) {
    bool rename = false;
    bool cut = false;
    PickNext("Rena&me");
    EXPECT_TRUE(
        ItemProp::DisplayContextMenu(Shown, {"a.wav"}, nullptr, {}, true, &rename, &cut, Runners));
    EXPECT_TRUE(rename);
    EXPECT_FALSE(cut);

    PickNext("Cu&t");
    EXPECT_TRUE(ItemProp::DisplayContextMenu(Shown, {"a.wav", "caf\xe9.wav"}, nullptr, {}, false,
                                             &rename, &cut, Runners));
    EXPECT_FALSE(rename);
    EXPECT_TRUE(cut);
    auto contents = TFileClipboard::Read(QGuiApplication::clipboard()->mimeData());
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->Mode, TTransferMode::Move);
    EXPECT_EQ(contents->Paths, (QList<QByteArray>{Shown + "/a.wav", Shown + "/caf\xe9.wav"}));

    PickNext("&Copy");
    EXPECT_TRUE(
        ItemProp::DisplayContextMenu(Shown, {"b.wav"}, nullptr, {}, true, &rename, &cut, Runners));
    EXPECT_FALSE(cut);
    contents = TFileClipboard::Read(QGuiApplication::clipboard()->mimeData());
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->Mode, TTransferMode::Copy);

    PickNext("&Open");
    EXPECT_TRUE(ItemProp::DisplayContextMenu(Shown + "/*.wav", nullptr, {}, false, &rename, nullptr,
                                             Runners));
    EXPECT_EQ(Opened,
              (QList<QByteArray>{Shown + "/a.wav", Shown + "/b.wav", Shown + "/caf\xe9.wav"}));

    // Delete asks once; declining keeps the file, agreeing moves it to the Trash.
    PickNext("&Delete");
    EXPECT_FALSE(ItemProp::DisplayContextMenu(Shown, {"b.wav"}, nullptr, {}, true, &rename, nullptr,
                                              Runners));
    EXPECT_EQ(Boxes.Texts(TKind::Question), QStringList{"Move \"b.wav\" to the Trash?"});
    EXPECT_TRUE(fs::exists(Dir.Path() / "shown" / "b.wav"));
    Boxes.QueueAnswer(TMessages::mbYes);
    EXPECT_TRUE(ItemProp::DisplayContextMenu(Shown, {"b.wav"}, nullptr, {}, true, &rename, nullptr,
                                             Runners));
    EXPECT_FALSE(fs::exists(Dir.Path() / "shown" / "b.wav"));
    EXPECT_TRUE(fs::exists(Dir.Path() / ".local/share/Trash/files/b.wav"));
}

TEST_F(ShellFileTest, DefaultActionVerbsAndProperties) {
    EXPECT_TRUE(ItemProp::PerformDefaultAction(Shown + "/a.wav", nullptr, Runners));
    EXPECT_EQ(Opened, QList<QByteArray>{Shown + "/a.wav"});
    EXPECT_FALSE(ItemProp::PerformDefaultAction(Shown + "/gone.wav", nullptr, Runners));

    EXPECT_TRUE(ItemProp::PerformVerb("cut", Shown, {"a.wav"}, nullptr));
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasFormat(TFileClipboard::KdeCutType));
    EXPECT_TRUE(ItemProp::PerformVerb("copy", Shown + "/a.wav", nullptr));
    EXPECT_FALSE(QGuiApplication::clipboard()->mimeData()->hasFormat(TFileClipboard::KdeCutType));
    EXPECT_FALSE(ItemProp::PerformVerb("frobnicate", Shown + "/a.wav", nullptr));

    std::ofstream(Dir.Path() / "shown" / "big.wav") << std::string(1536, 'x');
    fs::permissions(Dir.Path() / "shown" / "big.wav", fs::perms(0640));
    QStringList fields;
    Runners.DialogRunner = [&](QWidget& dialog) {
        auto& d = static_cast<TFrmProperties&>(dialog);
        for (QLabel* l : {d.lblName, d.lblType, d.lblLocation, d.lblSize, d.lblPermissions})
            fields.append(l->text());
    };
    EXPECT_TRUE(ItemProp::DisplayPropertiesDialog(Shown + "/big.wav", nullptr, Runners));
    ASSERT_EQ(fields.size(), 5);
    EXPECT_EQ(fields[0], "big.wav");
    EXPECT_FALSE(fields[1].isEmpty());
    EXPECT_EQ(fields[2], QString::fromUtf8(Shown));
    EXPECT_EQ(fields[3], "1.5 KB (1,536 bytes)");
    EXPECT_TRUE(fields[4].startsWith("rw-r----- (owner ")) << fields[4].toStdString();
    EXPECT_FALSE(ItemProp::DisplayPropertiesDialog(Shown, {"a.wav", "big.wav"}, nullptr, Runners));
}

TEST_F(ShellFileTest, AdjacentSeparatorsCollapse) {
    QMenu menu;
    menu.addSeparator();
    menu.addAction("A");
    menu.addSeparator();
    menu.addSeparator();
    menu.addSeparator();
    menu.addAction("B");
    menu.addSeparator();
    ItemProp::CollapseSeparators(menu);
    EXPECT_EQ(ShownTexts(menu), QStringList({"A", "-", "B"}));
}

TEST_F(ShellFileTest, DropMenuShowsTheRulesDefaultBold) {
    TDropMenu menu;
    QString bold;
    QStringList texts;
    QString pick = "Move Here";
    menu.SetRunner([&](QMenu& m, const QPoint&) {
        bold = m.defaultAction() ? m.defaultAction()->text() : QString();
        texts = ShownTexts(m);
        return ByText(m, pick);
    });
    EXPECT_EQ(menu.Choose(TTransferMode::Move, {}), TTransferMode::Move);
    EXPECT_EQ(bold, "Move Here");
    EXPECT_EQ(texts, QStringList({"Copy Here", "Move Here", "-", "Cancel"}));
    pick = "Copy Here";
    EXPECT_EQ(menu.Choose(TTransferMode::Copy, {}), TTransferMode::Copy);
    EXPECT_EQ(bold, "Copy Here");
    pick = "Cancel";
    EXPECT_EQ(menu.Choose(TTransferMode::Move, {}), std::nullopt);
}

TEST_F(ShellFileTest, OperationErrorsNameTheItemAndTheSystemsReason) {
    TFileOperationUi ui(nullptr);
    ui.SetShowDelayMs(0); // the progress dialog shows at once
    fs::create_directories(Dir.Path() / "target");
    const QByteArray target = Raw(Dir.Path() / "target");

    // Two missing items: the first asks whether to go on, the last is reported.
    Boxes.QueueAnswer(TMessages::mbYes);
    const TFileOpResult result =
        ui.Transfer({Shown + "/gone1.wav", Shown + "/a.wav", Shown + "/gone2.wav"}, target,
                    TTransferMode::Copy);
    EXPECT_EQ(result.Done.size(), 1);
    const QString reason = QString::fromLocal8Bit(strerror(ENOENT));
    EXPECT_EQ(Boxes.Texts(TKind::Question),
              QStringList{QString("Cannot copy \"%1/gone1.wav\" to \"%3\": %2\n\nGo on with the "
                                  "remaining items?")
                              .arg(QString::fromUtf8(Shown), reason, QString::fromUtf8(target))});
    EXPECT_EQ(Boxes.Texts(TKind::Error),
              QStringList{QString("Cannot copy \"%1/gone2.wav\" to \"%3\": %2")
                              .arg(QString::fromUtf8(Shown), reason, QString::fromUtf8(target))});
    EXPECT_TRUE(fs::exists(Dir.Path() / "target" / "a.wav"));

    // Declining to go on stops: nothing after the failure is moved, and nothing more is shown.
    Boxes.Clear();
    const TFileOpResult stopped =
        ui.Transfer({Shown + "/gone1.wav", Shown + "/a.wav"}, target, TTransferMode::Move);
    EXPECT_TRUE(stopped.Done.isEmpty());
    EXPECT_EQ(Boxes.Texts(TKind::Error).size(), 0);
    EXPECT_TRUE(fs::exists(Dir.Path() / "shown" / "a.wav"));

    Boxes.Clear();
    EXPECT_EQ(TFileOperationUi::TrashQuestion({"/x/a.wav", "/x/b.wav"}),
              "Move these 2 items to the Trash?");
    EXPECT_FALSE(ui.DeleteToTrash({Shown + "/a.wav"}).Ok()); // unattended answer: No
    EXPECT_TRUE(fs::exists(Dir.Path() / "shown" / "a.wav"));
}

TEST_F(ShellFileTest, PasteIntoAReadOnlyFolderNamesTheFolder) {
    const fs::path readOnly = Dir.Path() / "read only";
    fs::create_directories(readOnly);
    if (::geteuid() != 0 || ::mount("none", readOnly.c_str(), "tmpfs", MS_RDONLY, "size=1m") != 0)
        GTEST_SKIP() << "a read-only file system needs root to mount";
    TFileOperationUi ui(nullptr);
    ui.Transfer({Shown + "/a.wav"}, Raw(readOnly), TTransferMode::Copy);
    ::umount2(readOnly.c_str(), MNT_DETACH);
    EXPECT_EQ(Boxes.Texts(TKind::Error),
              QStringList{QString("Cannot copy \"%1/a.wav\" to \"%2\": %3")
                              .arg(QString::fromUtf8(Shown), QString::fromStdString(readOnly),
                                   QString::fromLocal8Bit(strerror(EROFS)))});
}

TEST_F(ShellFileTest, RenameAsksBeforeAFreeNameAndNeverReplaces) {
    TFileOperationUi ui(nullptr);
    EXPECT_EQ(ui.Rename(Shown + "/a.wav", "b.wav"), std::nullopt); // declined
    EXPECT_EQ(Boxes.Texts(TKind::Question),
              QStringList{"\"b.wav\" already exists in this folder. Rename \"a.wav\" to "
                          "\"b (2).wav\" instead?"});
    Boxes.QueueAnswer(TMessages::mbYes);
    EXPECT_EQ(ui.Rename(Shown + "/a.wav", "b.wav"), Shown + "/b (2).wav");
    std::ifstream in(Dir.Path() / "shown" / "b.wav");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "b.wav");

    EXPECT_EQ(ui.Rename(Shown + "/b (2).wav", "x/y.wav"), std::nullopt);
    EXPECT_EQ(Boxes.Texts(TKind::Error),
              QStringList{"Cannot rename \"b (2).wav\": \"x/y.wav\" is not a valid name"});
    EXPECT_EQ(ui.Rename(Shown + "/b (2).wav", "\xff.wav"), Shown + "/\xff.wav");
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
