// The value picker windows driven as a user would: the calendar's month stepping and
// grid, the modal results of every window (buttons, Esc, closing), the 12/24-hour
// display of the time pickers, and the date and time box with its nested pickers.

#include "Calendar.h"
#include "Datetime.h"
#include "Header.h"
#include "TMaskedEdit.h"
#include "TMonthGrid.h"
#include "Text.h"
#include "Time.h"
#include "Timetool.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
void PrintTo(const QDate& date, std::ostream* out) {
    *out << date.toString(Qt::ISODate).toStdString();
}

namespace {

// Runs `action` once the window's modal loop has started, then returns the result.
int ExecWith(QDialog& dialog, std::function<void()> action) {
    QTimer::singleShot(0, &dialog, std::move(action));
    return dialog.exec();
}

// Runs `action` on the modal window that `trigger` opens.
template <typename TWindow>
void WithNextModal(const std::function<void()>& trigger, std::function<void(TWindow&)> action) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* window = qobject_cast<TWindow*>(QApplication::activeModalWidget());
        ASSERT_NE(window, nullptr);
        seen = true;
        action(*window);
    });
    trigger();
    EXPECT_TRUE(seen);
}

// Esc as the user types it: to the focused control, which passes it on to the window.
void PressEsc(QWidget* window) {
    QWidget* target = QApplication::focusWidget();
    if (!target || target->window() != window)
        target = window;
    QTest::keyClick(target, Qt::Key_Escape);
}

void Click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

struct TStepCase {
    QDate Start;
    bool Forward;
    QDate Expected;
    const char* Label;
};

TEST(Calendar, ArrowButtonsStepAMonthKeepingTheDayWherePossible) {
    const std::vector<TStepCase> cases = {
        {{2004, 1, 15}, false, {2003, 12, 15}, "December 2003"},
        {{2004, 12, 10}, true, {2005, 1, 10}, "January 2005"},
        {{2004, 3, 31}, false, {2004, 2, 29}, "February 2004"},
        {{2003, 3, 31}, false, {2003, 2, 28}, "February 2003"},
        {{2004, 1, 31}, true, {2004, 2, 29}, "February 2004"},
        {{2003, 1, 31}, true, {2003, 2, 28}, "February 2003"},
        {{1900, 3, 31}, false, {1900, 2, 28}, "February 1900"},
        {{2000, 3, 31}, false, {2000, 2, 29}, "February 2000"},
        {{2004, 2, 29}, true, {2004, 3, 29}, "March 2004"},
        {{2004, 5, 31}, true, {2004, 6, 30}, "June 2004"},
    };
    for (const TStepCase& c : cases) {
        SCOPED_TRACE(c.Start.toString(Qt::ISODate).toStdString() + (c.Forward ? " +1" : " -1"));
        TFrmCalendar calendar;
        calendar.SetDate(c.Start.month(), c.Start.day(), c.Start.year());
        Click(c.Forward ? calendar.btnForward : calendar.btnBack);
        EXPECT_EQ(calendar.Date(), c.Expected);
        EXPECT_EQ(calendar.lblDate->text(), c.Label);
        // The grid shows the new month with the day selected.
        const QPoint cell = calendar.Calendar->CellOfDay(c.Expected.day());
        EXPECT_EQ(calendar.Calendar->currentRow(), cell.x());
        EXPECT_EQ(calendar.Calendar->currentColumn(), cell.y());
    }
}

TEST(Calendar, OpensOnTodayAndShowsItInTheLabel) {
    TFrmCalendar calendar;
    const QDate today = QDate::currentDate();
    EXPECT_EQ(calendar.Date(), today);
    EXPECT_TRUE(calendar.lblDate->text().endsWith(QString::number(today.year())));
    EXPECT_EQ(calendar.Calendar->horizontalHeaderItem(0)->text(),
              QLocale::system().dayName(7, QLocale::ShortFormat));
}

TEST(Calendar, GridSelectsOnlyDaysOfTheShownMonth) {
    TFrmCalendar calendar;
    calendar.show();
    TMonthGrid* grid = calendar.Calendar;

    calendar.SetDate(2, 10, 2015); // 1 February 2015 is a Sunday: four full weeks
    EXPECT_EQ(grid->rowCount(), 4);
    calendar.SetDate(8, 10, 2015); // 1 August 2015 is a Saturday: six rows
    EXPECT_EQ(grid->rowCount(), 6);
    EXPECT_EQ(grid->CellOfDay(1), QPoint(0, 6));

    auto clickCell = [&](int row, int column) {
        const QRect rect = grid->visualRect(grid->model()->index(row, column));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rect.center());
    };
    clickCell(3, 4); // Thursday 20 August
    EXPECT_EQ(calendar.Date(), QDate(2015, 8, 20));
    EXPECT_EQ(calendar.lblDate->text(), "August 2015");

    clickCell(0, 0); // before the 1st: empty
    EXPECT_EQ(calendar.Date(), QDate(2015, 8, 20));
    EXPECT_EQ(grid->currentRow(), 3);
    EXPECT_EQ(grid->currentColumn(), 4);

    // The keyboard cannot leave the month either.
    calendar.SetDate(8, 1, 2015);
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Left);
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_EQ(calendar.Date(), QDate(2015, 8, 1));
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(calendar.Date(), QDate(2015, 8, 8));
}

enum class TAction { Set, Clear, Enter, Esc, Close };

struct TResultCase {
    const char* Name;
    std::function<TPickerDialog*()> Make;
    TAction Action;
    int Expected;
    bool EscIgnored = false; // Esc leaves the window open (it is then closed)
};

QPushButton* SetButton(QDialog* dialog) {
    return dialog->findChild<QPushButton*>("btnSet");
}
QPushButton* ClearButton(QDialog* dialog) {
    return dialog->findChild<QPushButton*>("btnClear");
}

TEST(PickerWindows, ModalResults) {
    auto calendar = [] { return new TFrmCalendar; };
    auto time = [] { return new TFrmTime; };
    auto timeTool = [] { return new TFrmTimeTool; };
    auto text = [] { return new TFrmText; };
    auto dateTime = [] { return new TFrmDateTime; };
    auto header = [] { return new TFrmHeader; };
    const std::vector<TResultCase> cases = {
        {"calendar Set", calendar, TAction::Set, 1},
        {"calendar Enter", calendar, TAction::Enter, 1},
        {"calendar Clear", calendar, TAction::Clear, 2},
        {"calendar Esc", calendar, TAction::Esc, 2},
        {"calendar closed", calendar, TAction::Close, 2},
        {"time Set", time, TAction::Set, 1},
        {"time Enter", time, TAction::Enter, 1},
        {"time Clear", time, TAction::Clear, 2},
        {"time Esc", time, TAction::Esc, 2},
        {"time closed", time, TAction::Close, 2},
        {"time tool Set", timeTool, TAction::Set, 1},
        {"time tool Clear", timeTool, TAction::Clear, 3},
        {"time tool Esc", timeTool, TAction::Esc, 2, true},
        {"time tool closed", timeTool, TAction::Close, 2},
        {"text Set", text, TAction::Set, 1},
        {"text Enter", text, TAction::Enter, 1},
        {"text Clear", text, TAction::Clear, 3},
        {"text Esc", text, TAction::Esc, 2, true},
        {"text closed", text, TAction::Close, 2},
        {"date and time Set", dateTime, TAction::Set, 1},
        {"date and time Clear", dateTime, TAction::Clear, 3},
        {"date and time Esc", dateTime, TAction::Esc, 2, true},
        {"date and time closed", dateTime, TAction::Close, 2},
        {"header Done", header, TAction::Set, 1},
        {"header Esc", header, TAction::Esc, 1},
        {"header closed", header, TAction::Close, 2},
    };
    for (const TResultCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::unique_ptr<TPickerDialog> dialog(c.Make());
        bool openAfterEsc = false;
        const int result = ExecWith(*dialog, [&] {
            QDialog* d = dialog.get();
            switch (c.Action) {
            case TAction::Set:
                Click(SetButton(d) ? SetButton(d) : d->findChild<QPushButton*>("btnDone"));
                break;
            case TAction::Clear:
                Click(ClearButton(d));
                break;
            case TAction::Enter:
                QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : d,
                                Qt::Key_Return);
                break;
            case TAction::Esc:
                PressEsc(d);
                if (c.EscIgnored) {
                    QApplication::processEvents();
                    openAfterEsc = d->isVisible();
                    d->close();
                }
                break;
            case TAction::Close:
                d->close();
                break;
            }
        });
        EXPECT_EQ(result, c.Expected);
        EXPECT_EQ(openAfterEsc, c.EscIgnored);
    }
}

TEST(PickerWindows, TimePickersSwitchOnlyTheDisplayBetween24And12Hours) {
    for (bool tool : {false, true}) {
        SCOPED_TRACE(tool ? "tool window" : "dialog");
        std::unique_ptr<TFrmTime> picker(tool ? new TFrmTimeTool : new TFrmTime);
        EXPECT_TRUE(picker->rbtn24hour->isChecked());
        EXPECT_EQ(picker->dtTime->text(), "00:00");
        picker->SetTime(QTime(14, 30, 45));
        EXPECT_EQ(picker->dtTime->text(), "14:30");
        Click(picker->rbtn12hour);
        EXPECT_EQ(picker->dtTime->text(), "02:30 PM");
        EXPECT_EQ(picker->Time(), QTime(14, 30));
        Click(picker->rbtn24hour);
        EXPECT_EQ(picker->dtTime->text(), "14:30");
        EXPECT_EQ(picker->Time(), QTime(14, 30));
    }
    // The 12-hour choice is not remembered by the next window.
    TFrmTime next;
    EXPECT_TRUE(next.rbtn24hour->isChecked());
}

TEST(PickerWindows, TextWindowReturnsItsText) {
    TFrmText window;
    window.setWindowTitle("Artist");
    window.SetText("old");
    const int result = ExecWith(window, [&] {
        EXPECT_EQ(window.focusWidget(), window.edtText);
        window.edtText->selectAll();
        QTest::keyClicks(window.edtText, "The Band");
        QTest::keyClick(window.edtText, Qt::Key_Return);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(window.Text(), "The Band");
}

TEST(DateTimeBox, DateButtonOpensTheCalendarBelowTheField) {
    TFrmDateTime box;
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    EXPECT_EQ(box.DateText(), "  /  /    ");
    EXPECT_EQ(box.TimeText(), "  :  ");

    // Empty field: the calendar opens on today; Set fills the field.
    WithNextModal<TFrmCalendar>(
        [&] { Click(box.btntDate); },
        [&](TFrmCalendar& calendar) {
            EXPECT_EQ(calendar.windowTitle(), "Date");
            EXPECT_EQ(calendar.pos(), box.edtDate->mapToGlobal(QPoint(0, box.edtDate->height())));
            EXPECT_EQ(calendar.Date(), QDate::currentDate());
            calendar.SetDate(3, 5, 2004);
            Click(calendar.btnSet);
        });
    EXPECT_EQ(box.DateText(), "3 /5 /2004");
    EXPECT_EQ(box.focusWidget(), box.edtDate);

    // A valid date opens the calendar on it; Esc empties the field.
    WithNextModal<TFrmCalendar>([&] { Click(box.btntDate); },
                                [&](TFrmCalendar& calendar) {
                                    EXPECT_EQ(calendar.Date(), QDate(2004, 3, 5));
                                    PressEsc(&calendar);
                                });
    EXPECT_EQ(box.DateText(), "  /  /    ");

    // Typed dates count as typed; one that is no date opens on today.
    for (const auto& [typed, expected] :
         std::vector<std::pair<QString, QDate>>{{"12/31/1999", {1999, 12, 31}},
                                                {"2 /29/2004", {2004, 2, 29}},
                                                {"2 /29/2003", QDate::currentDate()},
                                                {"13/01/2004", QDate::currentDate()}}) {
        SCOPED_TRACE(typed.toStdString());
        box.edtDate->setText(typed);
        WithNextModal<TFrmCalendar>([&] { Click(box.btntDate); },
                                    [&](TFrmCalendar& calendar) {
                                        EXPECT_EQ(calendar.Date(), expected);
                                        Click(calendar.btnSet);
                                    });
    }
}

TEST(DateTimeBox, TimeButtonFillsTheFieldOnA24HourClock) {
    TFrmDateTime box;
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    box.edtTime->setText("09:15");

    // The picker is not preset; a time picked on the 12-hour display comes back as 24-hour.
    WithNextModal<TFrmTime>(
        [&] { Click(box.btnTime); },
        [&](TFrmTime& picker) {
            EXPECT_EQ(picker.pos(), box.edtTime->mapToGlobal(QPoint(0, box.edtTime->height())));
            EXPECT_EQ(picker.Time(), QTime(0, 0));
            Click(picker.rbtn12hour);
            picker.dtTime->setTime(QTime(14, 30));
            EXPECT_EQ(picker.dtTime->text(), "02:30 PM");
            Click(picker.btnSet);
        });
    EXPECT_EQ(box.TimeText(), "14:30");
    EXPECT_EQ(box.focusWidget(), box.edtTime);

    WithNextModal<TFrmTime>([&] { Click(box.btnTime); },
                            [&](TFrmTime& picker) { Click(picker.btnClear); });
    EXPECT_EQ(box.TimeText(), "  :  ");
}

TEST(HeaderWindow, ReadOnlyFixedPitchTextCentredOnTheDesktop) {
    TFrmHeader window;
    EXPECT_EQ(window.windowTitle(), "Header");
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    window.SetText("0000: 52 49 46 46");
    EXPECT_EQ(window.mmoHeader->toPlainText(), "0000: 52 49 46 46");
    EXPECT_TRUE(window.mmoHeader->isReadOnly());
    EXPECT_EQ(window.mmoHeader->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(window.mmoHeader->palette().color(QPalette::Base), QColor(224, 224, 224));
    // Fixed pitch as drawn: every glyph of a dump advances the same width (the face's
    // fixedPitch() flag is false for some monospace faces, URW and Noto among them).
    const QFontMetrics metrics(window.mmoHeader->font());
    for (const QChar glyph : QStringLiteral("iWm0: .F"))
        EXPECT_EQ(metrics.horizontalAdvance(glyph), metrics.horizontalAdvance(QLatin1Char('0')))
            << QString(glyph).toStdString();

    const QRect desktop = QGuiApplication::primaryScreen()->geometry();
    const QPoint centre = window.geometry().center();
    EXPECT_LE(std::abs(centre.x() - desktop.center().x()), 1);
    EXPECT_LE(std::abs(centre.y() - desktop.center().y()), 1);

    // The memo grows with the window.
    window.show();
    const QSize before = window.mmoHeader->size();
    window.resize(window.width() + 100, window.height() + 50);
    QApplication::processEvents();
    EXPECT_EQ(window.mmoHeader->size(), before + QSize(100, 50));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
