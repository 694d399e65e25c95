// Batch tagging through the folder list: a right click on a column header of a list showing a
// folder of generated WAV files, the picker answered by the test, the files written by the real
// tagging library and read back here by walking their chunks.
#include "Datetime.h"
#include "RiffBuilder.h"
#include "TAudioLibs.h"
#include "TBatchTagSelection.h"
#include "TListStatus.h"
#include "TMaskedEdit.h"
#include "TScriptedMessages.h"
#include "TXListView.h"
#include "TempDir.h"
#include "Text.h"
#include "Timetool.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QStatusBar>
#include <QTimeEdit>

#include <fcntl.h>
#include <fstream>
#include <map>
#include <sys/file.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using TKeys = std::map<std::string, std::string>;

uint32_t Le32At(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
           uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

// The INFO keys and the DISP title ("DISP") of a WAV file, from its chunks.
TKeys ReadWavKeys(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string b((std::istreambuf_iterator<char>(in)), {});
    TKeys keys;
    for (size_t at = 12; at + 8 <= b.size();) {
        const std::string id = b.substr(at, 4);
        const uint32_t size = Le32At(b, at + 4);
        const std::string body = b.substr(at + 8, size);
        if (id == "LIST" && body.substr(0, 4) == "INFO") {
            for (size_t i = 4; i + 8 <= body.size();) {
                const uint32_t n = Le32At(body, i + 4);
                const std::string value = body.substr(i + 8, n);
                keys[body.substr(i, 4)] = value.substr(0, value.find('\0'));
                i += 8 + n + (n & 1);
            }
        } else if (id == "DISP" && body.size() >= 4) {
            const std::string value = body.substr(4);
            keys["DISP"] = value.substr(0, value.find('\0'));
        }
        at += 8 + size + (size & 1);
    }
    return keys;
}

void WriteWav(const std::string& path, const TKeys& info) {
    TRiffBuilder riff;
    riff.Chunk("fmt ", TRiffBuilder::Fmt()).Chunk("data", TRiffBuilder::Audio(4000));
    std::vector<std::pair<std::string, std::string>> items(info.begin(), info.end());
    riff.Chunk("LIST", TRiffBuilder::Info(items)).Chunk("DISP", TRiffBuilder::Disp("Old title"));
    ASSERT_TRUE(riff.WriteTo(path));
}

// What the picker is answered with.
struct TAnswer {
    int Result = 1;
    QString Text;
    QString Date; // as typed into the masked field ("01312004")
    QString Time; // "0830"
    QTime Picked;
};

TAnswer Ans(int result, const QString& text = {}, const QString& date = {},
            const QString& time = {}, QTime picked = {}) {
    return TAnswer{result, text, date, time, picked};
}

const TKeys OldKeys{
    {"IART", "Old artist"}, {"BSTM", "07:00"}, {"IGNR", "2001/01/01"}, {"BSTW", "06:00"}};

class BatchTagSelection : public ::testing::Test {
protected:
    TTempDir Home;
    TTempDir Dir;
    TAudioLibsBinder Binder;
    TScriptedMessages Messages;
    TXListView List;
    QStatusBar Status;
    TListStatus ListStatus{List, Status};
    TBatchTagSelection Tagging{List};
    QStringList PickerTitles;
    QPoint PickerPos;
    TAnswer Answer;

    void SetUp() override {
        Home.BecomeHome();
        const auto bound = Binder.Load();
        ASSERT_EQ(bound.Outcome, TAudioLibsBinder::TOutcome::Bound) << bound.Message;
        for (const char* name : {"a.wav", "b.wav", "c.WAV"})
            WriteWav(Dir.File(name), OldKeys);
        fs::create_directory(Dir.Path() / "folder.wav");
        std::ofstream(Dir.File("notes.txt")) << "not audio";

        std::vector<TListColumn> columns = TListColumns::Fixed();
        for (auto [n, caption] :
             std::initializer_list<std::pair<int, const char*>>{{1, "Format"},
                                                                {3, "Artist"},
                                                                {4, "Title"},
                                                                {10, "Start Date/Time"},
                                                                {12, "Start Time Window"}})
            columns.push_back({n, QString::fromLatin1(caption), 90});
        List.SetColumns(columns);
        Tagging.SetProgress(&ListStatus);
        List.resize(900, 300);
        List.BrowseToPath(QByteArray::fromStdString(Dir.Path().string()));
        List.selectAll();

        Tagging.SetPickerRunner([this](QDialog& picker) {
            PickerTitles << picker.windowTitle();
            PickerPos = picker.pos();
            if (auto* text = qobject_cast<TFrmText*>(&picker))
                text->edtText->setText(Answer.Text);
            if (auto* dateTime = qobject_cast<TFrmDateTime*>(&picker)) {
                dateTime->edtDate->setFocus();
                dateTime->edtDate->setText(Answer.Date);
                dateTime->edtTime->setText(Answer.Time);
            }
            if (auto* time = qobject_cast<TFrmTimeTool*>(&picker))
                time->SetTime(Answer.Picked);
            return Answer.Result;
        });
    }
    void TearDown() override { Binder.Release(); }

    int SectionOf(int number) const {
        const auto columns = List.Columns();
        for (size_t i = 0; i < columns.size(); ++i)
            if (columns[i].Number == number)
                return int(i);
        return -1;
    }

    // A right click on the header of the column with that number, as the platform delivers it.
    void RightClickHeader(int number) {
        QHeaderView* header = List.header();
        const int section = SectionOf(number);
        const QPoint local(header->sectionViewportPosition(section) + 5, 5);
        QContextMenuEvent event(QContextMenuEvent::Mouse, local,
                                header->viewport()->mapToGlobal(local));
        QApplication::sendEvent(header->viewport(), &event);
    }

    TKeys Keys(const char* name) const { return ReadWavKeys(Dir.File(name)); }

    int RowOf(const QString& name) const {
        for (int row = 0; row < List.ListModel().Count(); ++row)
            if (List.ListModel().Entry(row).DisplayName == name)
                return row;
        return -1;
    }
};

TEST_F(BatchTagSelection, WritesEveryAudioFileOfTheSelectionPerColumnKind) {
    struct TCase {
        const char* Name;
        int Column;
        TAnswer Answer;
        TKeys Expected; // keys of each audio file afterwards ("" value: key absent)
        QString Cached; // the column's cached text afterwards
    };
    const TCase cases[] = {
        {"text set", 3, Ans(1, "SPOT"), {{"IART", "SPOT"}}, "SPOT"},
        {"text set empty removes", 3, Ans(1, ""), {{"IART", ""}}, ""},
        {"title clear keeps an empty title", 4, Ans(3, "ignored"), {{"DISP", ""}}, ""},
        {"date and time",
         10,
         Ans(1, {}, "01/31/2004", "08:30"),
         {{"IGNR", "2004/01/31"}, {"BSTM", "08:30"}},
         "2004/01/31 08:30"},
        {"date only removes the time",
         10,
         Ans(1, {}, "01/31/2004", ""),
         {{"IGNR", "2004/01/31"}, {"BSTM", ""}},
         "2004/01/31"},
        {"date clear", 10, Ans(3, {}, "01/31/2004", "08:30"), {{"IGNR", ""}, {"BSTM", ""}}, ""},
        {"time window", 12, Ans(1, {}, {}, {}, QTime(14, 5)), {{"BSTW", "14:05"}}, "14:05"},
        {"time window clear", 12, Ans(3, {}, {}, {}, QTime(14, 5)), {{"BSTW", ""}}, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        for (const char* name : {"a.wav", "b.wav", "c.WAV"})
            WriteWav(Dir.File(name), OldKeys);
        Answer = c.Answer;
        RightClickHeader(c.Column);
        for (const char* name : {"a.wav", "b.wav", "c.WAV"}) {
            SCOPED_TRACE(name);
            const TKeys keys = Keys(name);
            // An empty expected value: the key is gone, except the title, which stays empty.
            for (const auto& [key, value] : c.Expected) {
                const std::string expected = value.empty() && key != "DISP" ? "<absent>" : value;
                EXPECT_EQ(keys.count(key) ? keys.at(key) : "<absent>", expected) << key;
            }
            const TShellItem& entry = List.ListModel().Entry(RowOf(QString::fromLatin1(name)));
            EXPECT_EQ(entry.Value(c.Column), c.Cached);
            EXPECT_TRUE(entry.Stale);
        }
        EXPECT_EQ(ListStatus.Progress(), nullptr);
    }
    // Every picker opened titled with its column's caption at the click.
    EXPECT_EQ(PickerTitles.front(), "Artist");
    EXPECT_TRUE(PickerTitles.contains("Start Date/Time"));
    EXPECT_TRUE(PickerTitles.contains("Start Time Window"));
    EXPECT_TRUE(Messages.Records().isEmpty()) << Messages.Texts().join('|').toStdString();
}

TEST_F(BatchTagSelection, NothingWrittenForCancelATimeWithoutADateOrNoPicker) {
    const auto before = Keys("a.wav");
    Answer = Ans(2, "SPOT");
    RightClickHeader(3); // closed with the close box
    Answer = Ans(1, {}, "", "08:30");
    RightClickHeader(10); // a time without a date
    Answer = Ans(1, "SPOT");
    RightClickHeader(1); // "Format" has no picker
    const int opened = PickerTitles.size();
    List.SelectRow(RowOf("a.wav"));
    RightClickHeader(3); // one row: the editor's business
    EXPECT_EQ(PickerTitles.size(), opened);
    EXPECT_EQ(opened, 2);
    for (const char* name : {"a.wav", "b.wav", "c.WAV"})
        EXPECT_EQ(Keys(name), before) << name;
    EXPECT_TRUE(Messages.Records().isEmpty());
}

TEST_F(BatchTagSelection, AFileThatCannotBeWrittenIsNamedOnceAndTheOthersAreWritten) {
    // A second writer holds b.wav.
    const int fd = ::open(Dir.File("b.wav").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    Answer = Ans(1, "SPOT");
    RightClickHeader(3);
    ::close(fd);

    EXPECT_EQ(Keys("a.wav").at("IART"), "SPOT");
    EXPECT_EQ(Keys("c.WAV").at("IART"), "SPOT");
    EXPECT_EQ(Keys("b.wav").at("IART"), "Old artist");
    const QStringList errors = Messages.Texts(TScriptedMessages::TKind::Error);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.front().startsWith("1 file could not be written:"))
        << errors.front().toStdString();
    EXPECT_TRUE(errors.front().contains("b.wav"));
    // The failed row keeps no invented text and is read again.
    const TShellItem& failed = List.ListModel().Entry(RowOf("b.wav"));
    EXPECT_NE(failed.Value(3), "SPOT");
    EXPECT_TRUE(failed.Stale);
    // The folder and the text file were passed over without a word.
    EXPECT_FALSE(errors.front().contains("notes.txt"));
    EXPECT_FALSE(errors.front().contains("folder.wav"));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
