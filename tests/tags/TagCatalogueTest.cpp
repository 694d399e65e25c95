#include "TagCatalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(TagCatalogueTest, KeysAreTheThirtyFiveInOrderAndUnique) {
    const auto keys = TTagCatalogue::Keys();
    ASSERT_EQ(keys.size(), 35u);
    EXPECT_STREQ(keys.front().Key, "DISP");
    EXPECT_STREQ(keys[3].Key, "BFAD");
    EXPECT_STREQ(keys.back().Key, "IBPM");
    std::set<std::string> seen;
    for (const TTagKeyInfo& info : keys) {
        const std::string key = info.Key;
        EXPECT_EQ(key.size(), 4u);
        EXPECT_TRUE(seen.insert(key).second) << key;
        EXPECT_EQ(TTagCatalogue::FindKey(info.Key), &info);
        EXPECT_EQ(TTagCatalogue::FindKey(info.KeyText()), &info);
    }
    for (const char* notKey : {"", "disp", "DIS", "DISPX", "ABCD"})
        EXPECT_EQ(TTagCatalogue::FindKey(notKey), nullptr) << notKey;
    EXPECT_EQ(TTagCatalogue::FindKey(QStringLiteral("DISP\u00e9")), nullptr);
}

TEST(TagCatalogueTest, ColumnsOneToThirtyFourMatchTheKeys) {
    const auto columns = TTagCatalogue::Columns();
    ASSERT_EQ(columns.size(), 34u);
    for (size_t i = 0; i < columns.size(); ++i)
        EXPECT_EQ(columns[i].Number, static_cast<int>(i) + 1);
    EXPECT_FALSE(TTagCatalogue::FindColumn(1)->HasKey());
    EXPECT_EQ(TTagCatalogue::FindColumn(1)->Caption(), QStringLiteral("Format"));
    EXPECT_EQ(TTagCatalogue::FindColumn(2)->Caption(), QStringLiteral("Time"));
    EXPECT_EQ(TTagCatalogue::FindColumn(0), nullptr);
    EXPECT_EQ(TTagCatalogue::FindColumn(35), nullptr);
    EXPECT_EQ(TTagCatalogue::KeyOfColumn(2), nullptr);

    // Every column 3..34 names a key whose record names that column back; every key but
    // "BFAD" is shown in a column, the time keys inside their date's column.
    for (int n = 3; n <= 34; ++n) {
        const TTagKeyInfo* key = TTagCatalogue::KeyOfColumn(n);
        ASSERT_NE(key, nullptr) << n;
        EXPECT_EQ(key->Column, n) << n;
    }
    for (const TTagKeyInfo& info : TTagCatalogue::Keys()) {
        if (std::string(info.Key) == "BFAD")
            EXPECT_EQ(info.Column, 0);
        else
            EXPECT_GE(info.Column, 3) << info.Key;
    }
    const TColumnInfo* start = TTagCatalogue::FindColumn(10);
    EXPECT_STREQ(start->Key, "IGNR");
    EXPECT_STREQ(start->TimeKey, "BSTM");
    EXPECT_EQ(start->Caption(), QStringLiteral("Start Date/Time"));
    EXPECT_STREQ(TTagCatalogue::FindColumn(11)->TimeKey, "BETM");
    EXPECT_STREQ(TTagCatalogue::FindColumn(4)->Key, "DISP");
    EXPECT_EQ(TTagCatalogue::FindColumn(26)->Caption(), QStringLiteral("Account Exec"));
}

TEST(TagCatalogueTest, KeysWithThisSystemsOwnMeaning) {
    struct {
        const char* Key;
        const char* Caption;
        TTagPage Page;
        TFieldKind Kind;
        int Limit;
        TValueForm Form;
        TEmptyRule Empty;
    } cases[] = {
        {"DISP", "Title / Description", TTagPage::Description, TFieldKind::Edit, 64,
         TValueForm::Text, TEmptyRule::OneBlank},
        {"ISRC", "Category", TTagPage::Description, TFieldKind::Combo, 16, TValueForm::Text,
         TEmptyRule::Remove},
        {"BFAD", "No fade at segue", TTagPage::Description, TFieldKind::CheckBox, 0,
         TValueForm::Flag, TEmptyRule::AlwaysWrite},
        {"IMED", "&Segue", TTagPage::Description, TFieldKind::Marker, 0,
         TValueForm::MarkerBeforeEnd, TEmptyRule::Remove},
        {"IGNR", "Start Date && Time (24 hr.)", TTagPage::Times, TFieldKind::DateField, 10,
         TValueForm::Date, TEmptyRule::OneBlank},
        {"IKEY", "End Date && Time (24 hr.)", TTagPage::Times, TFieldKind::DateField, 10,
         TValueForm::Date, TEmptyRule::OneBlank},
        {"BETW", "To", TTagPage::Times, TFieldKind::TimeField, 5, TValueForm::Time,
         TEmptyRule::Remove},
        {"IGRE", "Genre", TTagPage::Times, TFieldKind::Combo, 0, TValueForm::Text,
         TEmptyRule::Remove},
        {"ITCH", "Talent", TTagPage::Authoring, TFieldKind::Memo, 512, TValueForm::Text,
         TEmptyRule::Remove},
        {"ISBJ", "Copy", TTagPage::Commercial, TFieldKind::Memo, 1024, TValueForm::Text,
         TEmptyRule::Remove},
        {"INAM", "OutCue", TTagPage::Commercial, TFieldKind::Edit, 64, TValueForm::Text,
         TEmptyRule::Remove},
        {"IBPM", "Beats per minute", TTagPage::Music, TFieldKind::Edit, 32, TValueForm::Text,
         TEmptyRule::Remove},
    };
    for (const auto& c : cases) {
        const TTagKeyInfo* info = TTagCatalogue::FindKey(c.Key);
        ASSERT_NE(info, nullptr) << c.Key;
        EXPECT_EQ(info->Caption(), QString::fromLatin1(c.Caption)) << c.Key;
        EXPECT_EQ(info->Page, c.Page) << c.Key;
        EXPECT_EQ(info->Kind, c.Kind) << c.Key;
        EXPECT_EQ(info->Limit, c.Limit) << c.Key;
        EXPECT_EQ(info->Form, c.Form) << c.Key;
        EXPECT_EQ(info->EmptyRule, c.Empty) << c.Key;
    }
    EXPECT_TRUE(TTagCatalogue::FindKey("ISRC")->Capitals);
    int chunks = 0;
    int id3v1 = 0;
    for (const TTagKeyInfo& info : TTagCatalogue::Keys()) {
        chunks += info.IsChunk;
        id3v1 += info.Id3v1Field;
    }
    EXPECT_EQ(chunks, 1);
    EXPECT_TRUE(TTagCatalogue::FindKey("DISP")->IsChunk);
    EXPECT_EQ(id3v1, 7); // DISP, IART, IALB, IYER, IGRE, ITRK, ICMT
    EXPECT_TRUE(TTagCatalogue::FindKey("IGRE")->Id3v1Field);
}

TEST(TagCatalogueTest, PagesAndMusicComboEntries) {
    EXPECT_EQ(TTagCatalogue::PageCaption(TTagPage::Description),
              QStringLiteral("&Description / Tones"));
    EXPECT_EQ(TTagCatalogue::PageCaption(TTagPage::Times), QStringLiteral("&Times / Album"));
    EXPECT_EQ(TTagCatalogue::PageCaption(TTagPage::Music), QStringLiteral("Music"));

    const auto keyEntries = TTagCatalogue::ComboEntries("BKEY");
    ASSERT_EQ(keyEntries.size(), 12u);
    EXPECT_STREQ(keyEntries[1], "D-Flat");
    EXPECT_STREQ(keyEntries[11], "B");
    EXPECT_EQ(TTagCatalogue::ComboEntries("BEND").size(), 4u);
    EXPECT_STREQ(TTagCatalogue::ComboEntries("BTXR")[3], "Mainstream");
    EXPECT_STREQ(TTagCatalogue::ComboEntries("BTPO")[5], "Ska");
    EXPECT_TRUE(TTagCatalogue::ComboEntries("IGRE").empty());
    for (const TTagKeyInfo& info : TTagCatalogue::Keys())
        EXPECT_EQ(info.Combo == TComboSource::Fixed, !TTagCatalogue::ComboEntries(info.Key).empty())
            << info.Key;
}

TEST(StoredFormRulesTest, Flag) {
    EXPECT_EQ(TTagCatalogue::FlagStoredText(true), QStringLiteral("-1"));
    EXPECT_EQ(TTagCatalogue::FlagStoredText(false), QStringLiteral("0"));
    EXPECT_TRUE(TTagCatalogue::FlagFromStored(QStringLiteral("-1")));
    EXPECT_TRUE(TTagCatalogue::FlagFromStored(QStringLiteral("1")));
    EXPECT_FALSE(TTagCatalogue::FlagFromStored(QStringLiteral("0")));
    EXPECT_FALSE(TTagCatalogue::FlagFromStored(QString()));
}

TEST(StoredFormRulesTest, MarkersReadOnlyFromDigits) {
    const TTagKeyInfo& intro = *TTagCatalogue::FindKey("ISRF");
    const TTagKeyInfo& hookStart = *TTagCatalogue::FindKey("HKST");
    const TTagKeyInfo& hookEnd = *TTagCatalogue::FindKey("HKEN");
    struct {
        const TTagKeyInfo& Key;
        const char* Stored;
        std::optional<uint32_t> Point;
    } cases[] = {
        {intro, "1500", 1500u},
        {intro, "-500", std::nullopt},
        {intro, "1.5", std::nullopt},
        {intro, "", std::nullopt},
        {intro, "4294967295", 4294967295u},
        {intro, "4294967296", std::nullopt}, // beyond any time span
        {hookStart, "0", 0u},                // a hook at the very beginning
        {hookEnd, "0", std::nullopt},        // a hook end of 0 is unset
        {hookEnd, "00", std::nullopt},
        {hookEnd, "2500", 2500u},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TTagCatalogue::MarkerFromStored(c.Key, QString::fromLatin1(c.Stored)), c.Point)
            << c.Key.Key << " " << c.Stored;
    EXPECT_EQ(
        TTagCatalogue::MarkerFromStored(*TTagCatalogue::FindKey("IART"), QStringLiteral("12")),
        std::nullopt);
}

TEST(StoredFormRulesTest, MarkersWrittenOrRemoved) {
    struct {
        const char* Key;
        int64_t Point;
        std::optional<QString> Stored;
    } cases[] = {
        {"ISRF", 1500, QStringLiteral("1500")},
        {"ISRF", 0, std::nullopt},
        {"ISRF", -1, std::nullopt},
        {"IMED", 0, std::nullopt},
        {"IMED", 800, QStringLiteral("800")},
        {"HKST", 0, QStringLiteral("0")},
        {"HKST", -1, std::nullopt},
        {"HKEN", -1, std::nullopt},
        {"HKEN", 4000, QStringLiteral("4000")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TTagCatalogue::MarkerStoredText(*TTagCatalogue::FindKey(c.Key), c.Point),
                  c.Stored)
            << c.Key << " " << c.Point;
}

TEST(StoredFormRulesTest, EmptyTextIsRemovedExceptTheTitle) {
    const auto stored = [](const char* key, const QString& text) {
        return TTagCatalogue::TextStoredText(*TTagCatalogue::FindKey(key), text);
    };
    EXPECT_EQ(stored("DISP", QString()), QStringLiteral(" "));
    EXPECT_EQ(stored("IALB", QString()), std::nullopt);
    EXPECT_EQ(stored("IALB", QStringLiteral("Greatest")), QStringLiteral("Greatest"));
    EXPECT_EQ(stored("ICMT", QStringLiteral("a\r\nb")), QStringLiteral("a\r\nb"));
    EXPECT_EQ(stored("IGNR", QString()), QStringLiteral(" "));
}

} // namespace
