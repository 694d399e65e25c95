// The loudness columns' texts, their cache form and their place among the list's columns.
#include "TColumnChoice.h"
#include "TListColumns.h"
#include "TLoudnessColumns.h"
#include "TProfileFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

namespace {

TEST(LoudnessColumns, TextsAndTheirValues) {
    TLoudnessFigures figures;
    figures.Integrated = -23.04;
    figures.Range = 7.45;
    figures.TruePeak = -0.04;
    struct TCase {
        int Column;
        const char* Text;
        double Value;
    };
    for (const TCase& c : {TCase{TLoudnessColumns::Loudness, "-23.0 LUFS", -23.0},
                           TCase{TLoudnessColumns::Range, "7.5 LU", 7.5},
                           TCase{TLoudnessColumns::TruePeak, "0.0 dBTP", 0.0}}) {
        SCOPED_TRACE(c.Text);
        const QString text = TLoudnessColumns::Text(c.Column, figures);
        EXPECT_EQ(text, c.Text);
        EXPECT_EQ(TLoudnessColumns::ValueOf(text), c.Value);
    }
    // Silence has no loudness: it shows and sorts as -inf, below every figure.
    figures.Integrated = -HUGE_VAL;
    EXPECT_EQ(TLoudnessColumns::Text(TLoudnessColumns::Loudness, figures), "-inf LUFS");
    EXPECT_EQ(TLoudnessColumns::ValueOf(u"-inf LUFS"), -HUGE_VAL);
    EXPECT_FALSE(TLoudnessColumns::ValueOf(u"").has_value());
    EXPECT_FALSE(TLoudnessColumns::ValueOf(u"loud").has_value());
    EXPECT_EQ(TLoudnessColumns::Text(TLoudnessColumns::Last + 1, figures), "");
}

TEST(LoudnessColumns, CacheFormRoundTripsUnderAnyLocaleAndRejectsDamage) {
    // A decimal comma in the C library's locale must not change the stored form.
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8"); // where installed
    TLoudnessFigures figures{-23.125, 4.5, -1.0 / 3, -HUGE_VAL, -20.0, -21.5};
    const QByteArray bytes = figures.Encode();
    EXPECT_FALSE(bytes.contains(','));
    EXPECT_EQ(TLoudnessFigures::Decode(bytes), figures);
    std::setlocale(LC_NUMERIC, "C");
    for (const char* damaged :
         {"", "1 -23", "2 1 2 3 4 5 6", "1 a 2 3 4 5 6", "1 1 2 3 4 5 6 7", "1 nan 2 3 4 5 6"})
        EXPECT_FALSE(TLoudnessFigures::Decode(damaged).has_value()) << damaged;
}

TEST(LoudnessColumns, OfferedAfterTheTagColumnsAndReadFromTheSettings) {
    EXPECT_EQ(TColumnChoice::Count, 37);
    EXPECT_EQ(TListColumns::CaptionOf(34), "Beats per minute");
    EXPECT_EQ(TListColumns::CaptionOf(35), "Loudness");
    EXPECT_EQ(TListColumns::CaptionOf(36), "Loudness range");
    EXPECT_EQ(TListColumns::CaptionOf(37), "True peak");
    EXPECT_EQ(TListColumns::CaptionOf(38), "");

    TTempDir dir;
    TProfileFile settings(QString::fromStdString(dir.File("Cuemark.ini")));
    TColumnChoice::TTicks ticks{};
    ticks[4] = true;  // Category
    ticks[36] = true; // True peak
    ASSERT_TRUE(TColumnChoice::WriteSettings(settings, ticks));
    settings.WriteString(TListColumns::ColumnsSection(), QStringLiteral("38"), QStringLiteral("x"));
    const std::vector<TListColumn> columns = TListColumns::FromSettings(settings);
    ASSERT_EQ(columns.size(), 5u);
    EXPECT_EQ(columns[3].Number, 5);
    EXPECT_EQ(columns[4].Number, 37);
    EXPECT_EQ(columns[4].Caption, "True peak");
    EXPECT_EQ(TColumnChoice::TicksOf(columns), ticks);
}

} // namespace
