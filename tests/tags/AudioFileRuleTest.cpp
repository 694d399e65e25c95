// Which names count as audio files (the list, batch tagging, cuemark-tag) and as MPEG files
// (the editor's format text).
#include "TAudioFileRule.h"

#include <gtest/gtest.h>

namespace {

TEST(AudioFileRule, AudioExtensionsInAnyCase) {
    struct TCase {
        const char* Path;
        bool Audio;
    };
    const TCase cases[] = {
        {"/a/b.wav", true},      {"/a/b.WAV", true},     {"/a/b.Mp3", true},
        {"/a/b.mp2", true},      {"/a/b.mpg", false},    {"/a/b.mp1", false},
        {"/a/b.tmc", false},     {"/a/b", false},        {"/a.wav/b", false},
        {"/a/b.wav.txt", false}, {"/a/b.txt.wav", true}, {"/a/\xff\xfe.wav", true},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(TAudioFileRule::IsAudioPath(c.Path), c.Audio) << c.Path;
}

TEST(AudioFileRule, MpegByTheSuffixFirstThreeLetters) {
    struct TCase {
        const char* Suffix;
        bool Mpeg;
    };
    const TCase cases[] = {
        {"mp3", true},  {"MP2", true}, {"mpg", true}, {"Mp3x", true}, {"mp1", false},
        {"wav", false}, {"mp", false}, {"", false},   {"mpa", false}, {"tmc", false},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(TAudioFileRule::IsMpegSuffix(QString::fromLatin1(c.Suffix)), c.Mpeg) << c.Suffix;
}

} // namespace
