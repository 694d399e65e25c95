#include "MP3Genres.h"

#include <gtest/gtest.h>

#include <QCollator>
#include <QSet>

namespace {

TEST(MP3GenresTest, SortedListHoldsAllNamesWithTheirSpellings) {
    const TMP3Genres genres;
    ASSERT_EQ(genres.Count(), 148);
    EXPECT_EQ(genres.Name(0), QStringLiteral("Acapella"));
    EXPECT_EQ(genres.Name(148), QString());
    EXPECT_EQ(genres.Name(-1), QString());

    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    QSet<QString> names;
    for (int i = 0; i < genres.Count(); ++i) {
        EXPECT_FALSE(genres.Name(i).isEmpty()) << i;
        names.insert(genres.Name(i));
        if (i > 0) {
            EXPECT_LE(collator.compare(genres.Name(i - 1), genres.Name(i)), 0)
                << genres.Name(i - 1).toStdString() << " / " << genres.Name(i).toStdString();
        }
    }
    EXPECT_EQ(names.size(), 148);
    for (const char* name : {"Juzz+Funk", "Gangsta ", "Musical ", "Euro-tecno", "Folk/Rock",
                             "Fast-Fusion", "Bedob", "Avantagarde", "Psychadelic Rock", "Big band",
                             "Rhytmic Soul", "Acapella", "Blues", "Synthpop"})
        EXPECT_TRUE(names.contains(QString::fromLatin1(name))) << name;
}

TEST(MP3GenresTest, TableKeepsGenreNumberOrder) {
    const auto table = TMP3Genres::Table();
    ASSERT_EQ(table.size(), 148u);
    struct {
        int Number;
        const char* Name;
    } cases[] = {{0, "Blues"},     {25, "Euro-tecno"},    {29, "Juzz+Funk"}, {59, "Gangsta "},
                 {77, "Musical "}, {79, "Hard Rock"},     {80, "Folk"},      {85, "Bedob"},
                 {96, "Big band"}, {118, "Rhytmic Soul"}, {123, "Acapella"}, {147, "Synthpop"}};
    for (const auto& c : cases)
        EXPECT_STREQ(table[static_cast<size_t>(c.Number)], c.Name) << c.Number;

    // No two names are equal when letter case is ignored.
    QSet<QString> folded;
    for (const char* name : table)
        folded.insert(QString::fromLatin1(name).toCaseFolded());
    EXPECT_EQ(folded.size(), 148);
}

} // namespace
