#include "TextCodec.h"

#include <gtest/gtest.h>

using riffkit::TTextCodec;

TEST(TextCodec, DecodesStoredTextByContentOrCodePage) {
    struct TCase {
        std::string Stored;
        int CodePage;
        std::string Expected;
    } cases[] = {
        {"plain", 0, "plain"},
        {"caf\xE9 \x80 \x93x\x94", 0, "caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D"},
        {"caf\xC3\xA9", 0, "caf\xC3\xA9"},            // valid UTF-8: kept
        {"caf\xC3\xA9", 1252, "caf\xC3\x83\xC2\xA9"}, // CSET says 1252: decides
        {"\xE9", 65001, "\xC3\xA9"},                  // not UTF-8 after all
        {"\xE9\x80", 28591, "\xC3\xA9\xC2\x80"},      // Latin-1 has no euro sign
        {"\x81\x8D\x8F\x90\x9D", 0, "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TTextCodec::Decode(c.Stored, c.CodePage), c.Expected) << c.Stored;
}

TEST(TextCodec, EncodesSoThatDecodingGivesTheTextBack) {
    const std::string texts[] = {
        "ASCII only",
        "Beyonc\xC3\xA9 \xE2\x82\xAC \xE2\x80\x93", // fits Windows-1252
        "\xE6\x97\xA5\xE6\x9C\xAC caf\xC3\xA9",     // needs UTF-8
        "\xC3\x83\xC2\xA9",                         // "Ã©": its 1252 bytes look like UTF-8
        "\xC2\x81 control",                         // an unused 1252 byte
        "line one\r\nline two",
        "",
    };
    for (const auto& text : texts) {
        for (int cp : {0, 65001}) {
            const auto stored = TTextCodec::Encode(text, cp);
            ASSERT_TRUE(stored) << text;
            EXPECT_EQ(TTextCodec::Decode(*stored, cp), text) << text << " cp " << cp;
        }
    }
    EXPECT_EQ(*TTextCodec::Encode("caf\xC3\xA9", 0), "caf\xE9");
    EXPECT_EQ(*TTextCodec::Encode("\xE6\x97\xA5", 0), "\xE6\x97\xA5");
    // A code page that cannot hold the text refuses rather than writing "?".
    EXPECT_FALSE(TTextCodec::Encode("\xE6\x97\xA5", 1252));
    EXPECT_FALSE(TTextCodec::Encode("\xE2\x82\xAC", 28591));
}

TEST(TextCodec, CallerTextIsCutAtNulAndNeverReplaced) {
    EXPECT_EQ(TTextCodec::FromCaller(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(TTextCodec::FromCaller("caf\xE9"), "caf\xC3\xA9"); // not UTF-8: read as 1252
    EXPECT_EQ(TTextCodec::FromCaller("caf\xC3\xA9"), "caf\xC3\xA9");
}

TEST(TextCodec, CutNeverSplitsACharacter) {
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5"; // a é € 🎵
    const std::size_t expected[] = {0, 1, 1, 3, 3, 3, 6, 6, 6, 6, 10, 10};
    for (std::size_t max = 0; max < std::size(expected); ++max)
        EXPECT_EQ(TTextCodec::CutLength(text, max), expected[max]) << max;
}
