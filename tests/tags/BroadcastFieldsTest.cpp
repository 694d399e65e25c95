// Whether a stored cart is in step with the editor's values, as the Broadcast page says.
#include "TBroadcastFields.h"

#include <gtest/gtest.h>

namespace {

// The editor with every date and time field empty, as a blank mask shows them.
TEditorValues Editor(const QList<QPair<QString, QString>>& fields) {
    TEditorValues values;
    for (const char* key : {"IGNR", "IKEY"})
        values.SetField(QLatin1String(key), QStringLiteral("  /  /    "));
    for (const char* key : {"BSTM", "BETM", "BSTW", "BETW"})
        values.SetField(QLatin1String(key), QStringLiteral("  :  "));
    for (const auto& [key, text] : fields)
        values.SetField(key, text);
    return values;
}

} // namespace

TEST(BroadcastFields, OutOfStepNamesTheCartFieldsASaveWouldChange) {
    const QString longTitle = QString(63, QLatin1Char('T')) + QStringLiteral("\u00e9 tail");
    struct TCase {
        const char* Name;
        TBroadcastFields::TFields Stored;
        QList<QPair<QString, QString>> Editor;
        QStringList Expected;
    };
    const QList<TCase> cases = {
        {"no cart", {{"bext.Description", "d"}}, {{"DISP", "x"}}, {}},
        {"in step, dates in either form",
         {{"cart.Title", "T"}, {"cart.Artist", "A"}, {"cart.StartDate", "2026-12-24"}},
         {{"DISP", "T"}, {"IART", "A"}, {"IGNR", "12/24/2026"}},
         {}},
        {"title and category differ",
         {{"cart.Title", "Old"}, {"cart.Category", "NEWS"}},
         {{"DISP", "New"}},
         {"Title", "Category"}},
        {"a copy cut on a character counts as in step",
         {{"cart.Title", QString(63, QLatin1Char('T'))}},
         {{"DISP", longTitle}},
         {}},
        {"unset dates of another system and CR/LF tag text",
         {{"cart.EndDate", "9999-12-31"},
          {"cart.StartDate", "1900-01-01"},
          {"cart.TagText", "a\r\nb"}},
         {{"ISBJ", "a\nb"}},
         {}},
        {"a stored date the editor has not", {{"cart.StartDate", "2026-01-02"}}, {}, {"StartDate"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(TBroadcastFields::OutOfStep(c.Stored, Editor(c.Editor)), c.Expected);
    }
}
