#include "TMessages.h"
#include "TQtMessages.h"
#include "TScriptedMessages.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdlib>

TEST(QtMessages, UnattendedBoxesWriteOneLineAndTakeTheirDefaultAnswer) {
    setenv("CUEMARK_NONINTERACTIVE", "1", 1);
    TQtMessages messages;
    testing::internal::CaptureStderr();
    messages.Error("SN_PlayStop not found");
    messages.Information("Removed read-only attribute");
    const auto yesNo = messages.Question("The information for a.wav changed.\nSave it?",
                                         TMessages::mbYes | TMessages::mbNo, TMessages::mbYes);
    const auto okCancel =
        messages.Confirm("Delete?", TMessages::mbOk | TMessages::mbCancel, TMessages::mbOk);
    const auto okOnly = messages.Question("Go on?", TMessages::mbOk, TMessages::mbOk);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "cuemark: error: SN_PlayStop not found\n"
              "cuemark: info: Removed read-only attribute\n"
              "cuemark: question: The information for a.wav changed. Save it?\n"
              "cuemark: question: Delete?\n"
              "cuemark: question: Go on?\n");
    EXPECT_EQ(yesNo, TMessages::mbNo);
    EXPECT_EQ(okCancel, TMessages::mbCancel);
    EXPECT_EQ(okOnly, TMessages::mbOk);
    unsetenv("CUEMARK_NONINTERACTIVE");
}

TEST(ScriptedMessages, RecordsBoxesAnswersFromItsQueueAndRestoresTheSeam) {
    TMessages* standard = &Messages();
    {
        TScriptedMessages scripted;
        EXPECT_EQ(&Messages(), &scripted);
        scripted.QueueAnswer(TMessages::mbYes);
        Messages().Error("Invalid Audio File");
        EXPECT_EQ(Messages().Question("Save?"), TMessages::mbYes);
        EXPECT_EQ(Messages().Question("Again?"), TMessages::mbNo); // queue empty
        EXPECT_EQ(scripted.Texts(), (QStringList{"Invalid Audio File", "Save?", "Again?"}));
        EXPECT_EQ(scripted.Texts(TScriptedMessages::TKind::Question),
                  (QStringList{"Save?", "Again?"}));
    }
    EXPECT_EQ(&Messages(), standard);
}

TEST(Messages, WithoutAStandardImplementationEveryBoxIsItsLineAndTheUnattendedAnswer) {
    TMessages* previous = SetStandardMessages(nullptr);
    testing::internal::CaptureStderr();
    Messages().Error("Invalid Audio File");
    const auto answer = Messages().Question("Save it?");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "cuemark: error: Invalid Audio File\ncuemark: question: Save it?\n");
    EXPECT_EQ(answer, TMessages::mbNo);

    TQtMessages boxes("QAV Cuemark");
    SetStandardMessages(&boxes);
    EXPECT_EQ(&Messages(), &boxes);
    SetStandardMessages(previous);
}

TEST(QtMessages, TheBoxCarriesTheProgramsTitleExactly) {
    unsetenv("CUEMARK_NONINTERACTIVE");
    int argc = 1;
    char name[] = "TMessagesTest";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    TQtMessages boxes("QAV Cuemark");
    QString title;
    QTimer::singleShot(0, [&title] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            title = box->windowTitle();
            box->close();
        }
    });
    boxes.Error("Invalid Audio File");
    EXPECT_EQ(title, "QAV Cuemark");
}
