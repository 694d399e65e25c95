// The find dialog: its captions and column choice, the focus on the text, and that every way
// of closing it hands back the text and the column.

#include "Find.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <QToolBar>

namespace {

TEST(FindDialogTest, OffersFileNameAndTheShownColumns) {
    TFrmFind dialog;
    dialog.SetColumns({"Artist", "Title"});
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Find"));
    EXPECT_EQ(dialog.lblColumn->text(), QStringLiteral("Search Column"));
    EXPECT_EQ(dialog.lblFind->text(), QStringLiteral("Text To Find"));
    EXPECT_EQ(dialog.btnOk->text(), QStringLiteral("Find"));
    EXPECT_EQ(dialog.btnCancel->text(), QStringLiteral("Cancel"));
    ASSERT_EQ(dialog.cboColumn->count(), 3);
    EXPECT_EQ(dialog.cboColumn->itemText(0), QStringLiteral("File Name"));
    EXPECT_EQ(dialog.cboColumn->itemText(2), QStringLiteral("Title"));
    EXPECT_EQ(dialog.cboColumn->currentIndex(), 0);
    EXPECT_FALSE(dialog.cboColumn->isEditable());
}

struct TClose {
    const char* Name;
    int How; // 0: Find, 1: Cancel, 2: Esc
};

class FindDialogCloseTest : public testing::TestWithParam<TClose> {};

TEST_P(FindDialogCloseTest, EveryWayOfClosingHandsBackTheSearch) {
    QWidget window;
    window.resize(700, 500);
    auto* toolBar = new QToolBar(&window);
    toolBar->setGeometry(0, 0, 700, 40);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const int how = GetParam().How;
    QTimer::singleShot(0, [how, toolBar] {
        auto* dialog = qobject_cast<TFrmFind*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        // A failed check must not leave the dialog open.
        const auto closer = qScopeGuard([dialog] { dialog->reject(); });
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
        // The text box has the focus: typing goes straight into it.
        EXPECT_EQ(dialog->focusWidget(), dialog->edtFind);
        EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; }));
        QWidget* focused = QApplication::focusWidget();
        ASSERT_EQ(focused, dialog->edtFind);
        QTest::keyClicks(focused, QStringLiteral("Jingle"));
        dialog->cboColumn->setCurrentIndex(2);
        // Centred over the toolbar's lower-left quarter; a dialog taller than the quarter is
        // held at the toolbar's top edge, and it never starts left of the toolbar.
        const QPoint corner = toolBar->mapToGlobal(QPoint(0, 0));
        EXPECT_EQ(dialog->frameGeometry().top(), corner.y());
        EXPECT_NEAR(dialog->frameGeometry().center().x(), corner.x() + toolBar->width() / 4, 1);
        if (how == 0)
            dialog->btnOk->click();
        else if (how == 1)
            dialog->btnCancel->click();
        else
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    });
    const TFrmFind::TChoice choice = TFrmFind::Ask(&window, toolBar, {"Artist", "Title"});
    EXPECT_EQ(choice.Text, QStringLiteral("Jingle"));
    EXPECT_EQ(choice.ColumnIndex, 2);
}

INSTANTIATE_TEST_SUITE_P(Closes, FindDialogCloseTest,
                         testing::Values(TClose{"Find", 0}, TClose{"Cancel", 1},
                                         TClose{"Escape", 2}),
                         [](const auto& info) { return std::string(info.param.Name); });

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
