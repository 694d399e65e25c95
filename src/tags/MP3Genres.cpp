#include "MP3Genres.h"

#include <QCollator>

#include <algorithm>
#include <array>
#include <numeric>
#include <vector>

namespace {

// Numbers 0-147 in this system's spellings; note the trailing blanks of 59 and 77.
constexpr std::array<const char*, TMP3Genres::EntryCount> GenreTable{
    "Blues", // 0
    "Classic Rock",
    "Country",
    "Dance",
    "Disco",
    "Funk",
    "Grunge",
    "Hip-Hop",
    "Jazz",
    "Metal",
    "New Age", // 10
    "Oldies",
    "Other",
    "Pop",
    "R&B",
    "Rap",
    "Reggae",
    "Rock",
    "Techno",
    "Industrial",
    "Alternative", // 20
    "Ska",
    "Death Metal",
    "Pranks",
    "Soundtrack",
    "Euro-tecno",
    "Ambient",
    "Trip-Hop",
    "Vocal",
    "Juzz+Funk",
    "Fusion", // 30
    "Trance",
    "Classical",
    "Instrumental",
    "Acid",
    "House",
    "Game",
    "Sound Clip",
    "Gospel",
    "Noise",
    "AlternRock", // 40
    "Bass",
    "Soul",
    "Punk",
    "Space",
    "Meditative",
    "Instrumental Pop",
    "Instrumental Rock",
    "Ethnic",
    "Gothic",
    "Darkwave", // 50
    "Techno-Industrial",
    "Electronic",
    "Pop-Folk",
    "Eurodance",
    "Dream",
    "Southern Rock",
    "Comedy",
    "Cult",
    "Gangsta ",
    "Top 40", // 60
    "Christian Rap",
    "Pop/Funk",
    "Jungle",
    "Native American",
    "Cabaret",
    "New Wave",
    "Psychedelic",
    "Rave",
    "Showtunes",
    "Trailer", // 70
    "Lo-Fi",
    "Tribal",
    "Acid Punk",
    "Acid Jazz",
    "Polka",
    "Retro",
    "Musical ",
    "Rock & Roll",
    "Hard Rock",
    "Folk", // 80
    "Folk/Rock",
    "National Folk",
    "Swing",
    "Fast-Fusion",
    "Bedob",
    "Latin",
    "Revival",
    "Celtic",
    "Bluegrass",
    "Avantagarde", // 90
    "Gothic Rock",
    "Progressive Rock",
    "Psychadelic Rock",
    "Symphonic Rock",
    "Slow Rock",
    "Big band",
    "Chorus",
    "Easy Listening",
    "Acoustic",
    "Humour", // 100
    "Speech",
    "Chanson",
    "Opera",
    "Chamber Music",
    "Sonata",
    "Symphony",
    "Booty Bass",
    "Primus",
    "Porn Groove",
    "Satire", // 110
    "Slow Jam",
    "Club",
    "Tango",
    "Samba",
    "Folklore",
    "Ballad",
    "Power Ballad",
    "Rhytmic Soul",
    "Freestyle",
    "Duet", // 120
    "Punk Rock",
    "Drum Solo",
    "Acapella",
    "Euro-House",
    "Dance Hall",
    "Goa",
    "Drum & Bass",
    "Club-House",
    "Hardcore",
    "Terror", // 130
    "Indie",
    "BritPop",
    "Negerpunk",
    "Polsk Punk",
    "Beat",
    "Christian Gangsta Rap",
    "Heavy Metal",
    "Black Metal",
    "Crossover",
    "Contemporary Christian", // 140
    "Christian Rock",
    "Merengue",
    "Salsa",
    "Thrash Metal",
    "Anime",
    "JPop",
    "Synthpop", // 147
};

} // namespace

TMP3Genres::TMP3Genres() {
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);

    std::vector<int> order(GenreTable.size());
    std::iota(order.begin(), order.end(), 0);
    // Names the collator finds equal keep a fixed order: by code point ignoring case, then
    // by genre number.
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const QString nameA = QString::fromLatin1(GenreTable[static_cast<size_t>(a)]);
        const QString nameB = QString::fromLatin1(GenreTable[static_cast<size_t>(b)]);
        const int byCollator = collator.compare(nameA, nameB);
        if (byCollator != 0)
            return byCollator < 0;
        return nameA.compare(nameB, Qt::CaseInsensitive) < 0;
    });

    SortedNames.reserve(EntryCount);
    for (int index : order)
        SortedNames.append(QString::fromLatin1(GenreTable[static_cast<size_t>(index)]));
}

QString TMP3Genres::Name(int index) const {
    if (index < 0 || index >= SortedNames.size())
        return {};
    return SortedNames.at(index);
}

std::span<const char* const> TMP3Genres::Table() {
    return GenreTable;
}
