#include "TEditorValidation.h"
#include "TEditorValues.h"
#include "TagCatalogue.h"

#include <gtest/gtest.h>

#include <QHash>

namespace {

using TOp = TTagWrite::TOp;

TEditorValues Read(const QHash<QString, QString>& stored) {
    return TEditorValues::FromStored(
        [&](const TTagKeyInfo& info) { return stored.value(info.KeyText()); });
}

// An editor whose date and time fields are all empty, as the masks show them.
TEditorValues EmptyTimes() {
    TEditorValues values;
    for (const char* key : {"IGNR", "IKEY"})
        values.SetField(QLatin1String(key), QStringLiteral("  /  /    "));
    for (const char* key : {"BSTM", "BETM", "BSTW", "BETW"})
        values.SetField(QLatin1String(key), QStringLiteral("  :  "));
    return values;
}

QList<TTagWrite> WritesOf(const TEditorValues& values, const QStringList& keys) {
    QList<TTagWrite> picked;
    for (const TTagWrite& write : values.Writes())
        if (keys.contains(write.Key))
            picked.append(write);
    return picked;
}

} // namespace

TEST(EditorValuesRead, ShowsDatesTimesFlagAndMarkersByTheReadingRules) {
    const TEditorValues values = Read({{"DISP", "Title"},
                                       {"IGNR", "2003/12/16"},
                                       {"IKEY", "2003/13/01"},
                                       {"BSTM", "06:30"},
                                       {"BETM", "25:00"},
                                       {"BSTW", "x"},
                                       {"BFAD", "-1"},
                                       {"ISRF", "-500"},
                                       {"IMED", "1500"},
                                       {"HKST", "0"},
                                       {"HKEN", "0"},
                                       {"ITCH", "a\r\nb"}});
    EXPECT_EQ(values.Field("DISP"), "Title");
    EXPECT_EQ(values.Field("IGNR"), "12/16/2003");
    EXPECT_EQ(values.Field("IKEY"), "");
    EXPECT_EQ(values.Field("BSTM"), "06:30");
    EXPECT_EQ(values.Field("BETM"), "");
    EXPECT_EQ(values.Field("BSTW"), "");
    EXPECT_EQ(values.Field("ITCH"), "a\r\nb");
    EXPECT_TRUE(values.NoFade);
    EXPECT_EQ(values.Markers.IntroMs, 0);
    EXPECT_EQ(values.Markers.SegueMs, 1500);
    EXPECT_EQ(values.Markers.HookStartMs, 0);
    EXPECT_EQ(values.Markers.HookEndMs, TMarkerModel::Unset);
}

TEST(EditorValuesRead, FlagAndMarkerEdgeCases) {
    EXPECT_FALSE(Read({{"BFAD", "0"}}).NoFade);
    EXPECT_FALSE(Read({}).NoFade);
    EXPECT_TRUE(Read({{"BFAD", "yes"}}).NoFade);

    EXPECT_EQ(Read({{"ISRF", "1.5"}}).Markers.IntroMs, 0);
    EXPECT_EQ(Read({{"ISRF", ""}}).Markers.IntroMs, 0);
    EXPECT_EQ(Read({{"HKEN", "2500"}}).Markers.HookEndMs, 2500);
    EXPECT_EQ(Read({{"HKST", " 5"}}).Markers.HookStartMs, TMarkerModel::Unset);
    // Too large for a point: read as absent instead of failing the whole load.
    EXPECT_EQ(Read({{"ISRF", "99999999999"}}).Markers.IntroMs, 0);
    EXPECT_EQ(Read({{"IMED", "3000000000"}}).Markers.SegueMs, 0);
}

TEST(EditorValuesWrite, WritesEveryKeyOnceInTheSaveOrder) {
    TEditorValues values = EmptyTimes();
    values.SetField("DISP", "Song");
    QStringList order;
    for (const TTagWrite& write : values.Writes())
        order.append(write.Key);
    const QStringList expected = {"DISP", "IART", "IGNR", "IKEY", "BSTM", "BETM", "BSTW",
                                  "BETW", "ISRC", "BFAD", "ISRF", "IMED", "HKST", "HKEN",
                                  "IALB", "IYER", "IGRE", "IBPM", "ITRK", "ICMT", "IENG",
                                  "ITCH", "ICOM", "IPUB", "BCPR", "INAM", "ICOP", "ISFT",
                                  "ISBJ", "IURL", "BKEY", "BEND", "BERG", "BTXR", "BTPO"};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(values.Writes().first(), (TTagWrite{TOp::SetChunk, "DISP", "Song"}));
}

TEST(EditorValuesWrite, EmptyFieldsFollowTheStoredFormRules) {
    TEditorValues values = EmptyTimes();
    // A partly typed date whose first character is a blank is written as one blank.
    values.SetField("IKEY", " 2/  /    ");
    EXPECT_EQ(WritesOf(values, {"DISP", "IART", "IGNR", "IKEY", "BSTM", "IALB", "BFAD"}),
              (QList<TTagWrite>{{TOp::SetChunk, "DISP", " "},
                                {TOp::Remove, "IART", ""},
                                {TOp::SetTag, "IGNR", " "},
                                {TOp::SetTag, "IKEY", " "},
                                {TOp::Remove, "BSTM", ""},
                                {TOp::SetTag, "BFAD", "0"},
                                {TOp::Remove, "IALB", ""}}));
}

TEST(EditorValuesWrite, FilledFieldsAndMarkers) {
    TEditorValues values = EmptyTimes();
    values.SetField("IGNR", "12/16/2003");
    values.SetField("BSTM", "23:05");
    values.SetField("IGRE", "Gangsta ");
    values.NoFade = true;
    values.Markers.IntroMs = 1200;
    values.Markers.SegueMs = 0;
    values.Markers.HookStartMs = 0;
    values.Markers.HookEndMs = TMarkerModel::Unset;
    EXPECT_EQ(WritesOf(values, {"IGNR", "BSTM", "BFAD", "ISRF", "IMED", "HKST", "HKEN", "IGRE"}),
              (QList<TTagWrite>{{TOp::SetTag, "IGNR", "2003/12/16"},
                                {TOp::SetTag, "BSTM", "23:05"},
                                {TOp::SetTag, "BFAD", "-1"},
                                {TOp::SetTag, "ISRF", "1200"},
                                {TOp::Remove, "IMED", ""},
                                {TOp::SetTag, "HKST", "0"},
                                {TOp::Remove, "HKEN", ""},
                                {TOp::SetTag, "IGRE", "Gangsta "}}));
}

struct TValidationCase {
    QHash<QString, QString> Fields;
    int Step; // 0: passes
    QString Focus;
    QString Message;
};

TEST(EditorValidation, ChecksInOrderWithMessageAndFocus) {
    const QList<TValidationCase> cases = {
        {{}, 0, "", ""},
        {{{"IGNR", "12/31/2003"}}, 0, "", ""},
        {{{"IKEY", "12/31/2003"}}, 0, "", ""},
        {{{"IGNR", "12/31/2003"}, {"BSTM", "23:00"}, {"IKEY", "12/31/2003"}, {"BETM", "23:00"}},
         0,
         "",
         ""},
        {{{"IGNR", " 2/  /    "}}, 0, "", ""},
        {{{"BSTW", "22:00"}, {"BETW", "23:59"}}, 0, "", ""},
        {{{"IGNR", "13/01/2003"}}, 1, "IGNR", "Invalid Start Date"},
        {{{"IGNR", "02/29/2003"}}, 1, "IGNR", "Invalid Start Date"},
        {{{"IKEY", "1 /  /    "}}, 2, "IKEY", "Invalid End Date"},
        {{{"BSTM", "24:00"}}, 3, "BSTM", "Invalid Start Time"},
        {{{"BETM", "12:60"}}, 4, "BETM", "Invalid End Time"},
        {{{"BSTW", "1 :  "}}, 5, "BSTW", "Invalid Start Time Window"},
        {{{"BETW", "99:99"}}, 6, "BETW", "Invalid End Time Window"},
        {{{"BSTM", "10:00"}}, 7, "IGNR", "Both a *Start Date* and a Start Time must be entered"},
        {{{"BETM", "10:00"}}, 8, "IKEY", "Both an *End Date* and an End Time must be entered"},
        {{{"IGNR", "12/31/2003"}, {"BSTM", "23:00"}, {"IKEY", "12/31/2003"}, {"BETM", "22:00"}},
         9,
         "IGNR",
         "Start Date/Time is greater than End Date/Time"},
        // Without an end time the end moment is midnight.
        {{{"IGNR", "12/31/2003"}, {"BSTM", "23:00"}, {"IKEY", "12/31/2003"}},
         9,
         "IGNR",
         "Start Date/Time is greater than End Date/Time"},
        {{{"IGNR", "01/01/2004"}, {"IKEY", "12/31/2003"}},
         9,
         "IGNR",
         "Start Date/Time is greater than End Date/Time"},
        {{{"BETW", "02:00"}},
         10,
         "BSTW",
         "Both an Start Time and an End Time Window must be entered"},
        {{{"BSTW", "02:00"}},
         10,
         "BETW",
         "Both an Start Time and an End Time Window must be entered"},
        {{{"BSTW", "22:00"}, {"BETW", "02:00"}},
         11,
         "BSTW",
         "Start Time Window is greater than End Time Window"},
        // The earlier check wins when several fail.
        {{{"IGNR", "99/99/9999"}, {"BSTW", "22:00"}}, 1, "IGNR", "Invalid Start Date"},
    };
    for (const TValidationCase& c : cases) {
        TEditorValues values = EmptyTimes();
        for (auto it = c.Fields.cbegin(); it != c.Fields.cend(); ++it)
            values.SetField(it.key(), it.value());
        const auto failure = TEditorValidation::Validate(values);
        const QString context =
            QStringList(c.Fields.keys()).join(',') + " step " + QString::number(c.Step);
        if (c.Step == 0) {
            EXPECT_FALSE(failure.has_value())
                << context.toStdString() << " -> " << failure->Message.toStdString();
            continue;
        }
        ASSERT_TRUE(failure.has_value()) << context.toStdString();
        EXPECT_EQ(failure->Step, c.Step) << context.toStdString();
        EXPECT_EQ(failure->FocusKey, c.Focus) << context.toStdString();
        EXPECT_EQ(failure->Message, c.Message) << context.toStdString();
    }
}
