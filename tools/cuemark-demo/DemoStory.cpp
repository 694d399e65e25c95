#include "DemoStory.h"

#include "TagCatalogue.h"
#include "TextForms.h"

#include <QTime>

#include <array>
#include <optional>

namespace {

using TTags = std::vector<std::pair<std::string, std::string>>;

// A short tune: `beats` notes of a major pentatonic run from `root`, the last two beats
// left to ring out. Each file gets its own root and tempo, so no two sound alike.
TDemoAudio::TMelody Tune(int root, int beats, double bpm, int sampleRate, int channels,
                         bool bass = true) {
    static constexpr std::array<int, 6> Scale{0, 2, 4, 7, 9, 12};
    TDemoAudio::TMelody melody;
    melody.SampleRate = sampleRate;
    melody.Channels = channels;
    melody.BeatsPerMinute = bpm;
    for (int i = 0; i < beats; ++i)
        melody.Notes.push_back(i >= beats - 2 ? 0 : root + Scale[size_t(i * 5 + root) % 6]);
    melody.BassNote = bass ? root - 24 : 0;
    return melody;
}

std::string Stored(const QDate& date) {
    return StoredDateText(date).toStdString();
}

std::string Time(int hour, int minute) {
    return StoredTimeText(QTime(hour, minute)).toStdString();
}

std::string CartDate(const QDate& date) {
    return date.toString(QStringLiteral("yyyy-MM-dd")).toStdString();
}

std::string Flag(bool noFade) {
    return TTagCatalogue::FlagStoredText(noFade).toStdString();
}

// One spot: its air dates in days from the demo day (no end date when EndDay is unset),
// with an optional daily window.
struct TSpot {
    const char* Name;
    const char* Advertiser;
    const char* Title;
    int StartDay;
    int StartHour;
    std::optional<int> EndDay;
    int EndHour = 23;
    int EndMinute = 59;
    std::optional<std::pair<int, int>> Window; // hours
    const char* OutCue = "";
    const char* Agency = "";
    const char* AccountExec = "";
    const char* Copy = "";
    const char* Url = "";
    const char* Category = "COMMERCIAL";
};

TDemoFile Spot(const QDate& day, const TSpot& s, TDemoKind kind, TDemoAudio::TMelody melody) {
    TTags tags{{"DISP", s.Title},
               {"IART", s.Advertiser},
               {"ISRC", s.Category},
               {"BFAD", Flag(true)},
               {"IMED", "300"},
               {"IGNR", Stored(day.addDays(s.StartDay))},
               {"BSTM", Time(s.StartHour, 0)}};
    if (s.EndDay) {
        tags.emplace_back("IKEY", Stored(day.addDays(*s.EndDay)));
        tags.emplace_back("BETM", Time(s.EndHour, s.EndMinute));
    }
    if (s.Window) {
        tags.emplace_back("BSTW", Time(s.Window->first, 0));
        tags.emplace_back("BETW", Time(s.Window->second, 0));
    }
    for (const auto& [key, value] :
         {std::pair{"INAM", s.OutCue}, std::pair{"ICOP", s.Agency},
          std::pair{"ISFT", s.AccountExec}, std::pair{"ISBJ", s.Copy}, std::pair{"IURL", s.Url}})
        if (*value != '\0')
            tags.emplace_back(key, value);
    return {s.Name, kind, std::move(melody), std::move(tags), {}, {}, 0, 0};
}

// Station imaging: jingles, sweepers, news and promo elements with intro, segue and hook.
TDemoFile Imaging(const char* name, const char* title, const char* category, int introMs,
                  int segueMs, std::optional<std::pair<int, int>> hook, TDemoAudio::TMelody melody,
                  TTags extra = {}) {
    TTags tags{{"DISP", title},
               {"IART", "Radio Harbourside Imaging"},
               {"ISRC", category},
               {"BFAD", Flag(true)}};
    if (introMs > 0)
        tags.emplace_back("ISRF", std::to_string(introMs));
    if (segueMs > 0)
        tags.emplace_back("IMED", std::to_string(segueMs));
    if (hook) {
        tags.emplace_back("HKST", std::to_string(hook->first));
        tags.emplace_back("HKEN", std::to_string(hook->second));
    }
    tags.insert(tags.end(), extra.begin(), extra.end());
    return {name, TDemoKind::Wav, std::move(melody), std::move(tags), {}, {}, 0, 0};
}

TDemoFile Song(const char* name, TDemoKind kind, TDemoAudio::TMelody melody, TTags tags) {
    return {name, kind, std::move(melody), std::move(tags), {}, {}, 0, 0};
}

// A file delivered by the playout system: cart and bext only.
TDemoFile Playout(const QDate& day, const char* name, TDemoKind kind, TDemoAudio::TMelody melody,
                  DemoRiff::TCart cart, const char* description, int introMs, int segueMs) {
    cart.ProducerAppId = "HarbourPlay";
    cart.ProducerAppVersion = "4.2.1";
    DemoRiff::TBext bext;
    bext.Description = description;
    bext.Originator = "HarbourPlay";
    bext.OriginatorReference = "HBP-" + cart.CutId;
    bext.OriginationDate = CartDate(day.addDays(-12));
    bext.OriginationTime = "14:32:05";
    const bool mpeg = kind == TDemoKind::PlayoutMpegWav;
    bext.CodingHistory = mpeg ? "A=MPEG1L2,F=48000,B=192,M=stereo,T=HarbourPlay 4.2.1\r\n"
                              : "A=PCM,F=44100,W=16,M=stereo,T=HarbourPlay 4.2.1\r\n";
    return {name, kind, std::move(melody), {}, std::move(cart), std::move(bext), introMs, segueMs};
}

} // namespace

std::vector<TDemoFile> DemoStory(const QDate& day) {
    std::vector<TDemoFile> files;
    const auto spot = [&](const TSpot& s, int root, TDemoKind kind = TDemoKind::Wav) {
        files.push_back(Spot(day, s, kind,
                             kind == TDemoKind::MpegWav ? Tune(root, 10, 120, 48000, 2)
                                                        : Tune(root, 10, 120, 32000, 1)));
    };

    // --- Commercials: running now, expired, starting next week, some in a daily window.
    spot({"Corner Bakery - Fresh Bread.wav", "Corner Bakery", "Fresh Bread Every Morning", -10, 6,
          20, 23, 59, std::pair{6, 10}, "...fresh every morning at Corner Bakery.",
          "Main Street Media", "Pat Jones",
          "Warm bread, fresh from the oven.\r\nCorner Bakery, 12 Main Street.\r\n"
          "Open from six every morning.",
          "https://corner-bakery.example"},
         67);
    spot({"Müller's Garden Centre - Spring Sale.wav", "Müller's Garden Centre",
          "Spring Sale - Everything Must Grow", -3, 0, 11, 23, 59, std::nullopt,
          "...Müller's, on the ring road.", "Greenline Advertising", "Pat Jones",
          "Spring is here at Müller's Garden Centre.\r\nTwenty percent off all bedding plants."},
         62);
    spot({"Café Rouge - Lunch Menu.wav", "Café Rouge", "New Lunch Menu", -7, 0, 23, 23, 59,
          std::pair{11, 14}, "...lunch at Café Rouge.", "", "Chris Okafor",
          "Two courses and a coffee for twelve pounds.\r\nCafé Rouge, on the quay.",
          "https://cafe-rouge.example"},
         65);
    spot({"Harbour Motors - Clearance.wav", "Harbour Motors", "Year End Clearance", -40, 6, -2, 18,
          0, std::nullopt, "...Harbour Motors, open late Thursdays.", "Main Street Media",
          "Chris Okafor"},
         57, TDemoKind::MpegWav);
    spot({"Northside Dental - New Patients.wav", "Northside Dental", "Now Taking New Patients", 7,
          0, 37, 23, 59, std::nullopt, "...call Northside Dental today.", "", "Pat Jones"},
         69);
    spot({"Sunshine Travel - Last Minute.wav", "Sunshine Travel", "Last Minute Deals", -14, 0, 0,
          18, 0, std::nullopt, "...book by six tonight.", "Greenline Advertising", "Chris Okafor"},
         64);
    spot({"Green Valley Dairy - Breakfast.wav", "Green Valley Dairy", "Start the Day Right", -21, 5,
          -1, 23, 59, std::pair{5, 9}, "...Green Valley, straight from the farm."},
         60);
    spot({"Lakeside Cinema - This Week.wav", "Lakeside Cinema", "Now Showing This Week", -1, 0, 6,
          23, 59, std::pair{16, 22}, "...Lakeside Cinema, by the marina.", "", "Sam Rivers", "",
          "https://lakeside-cinema.example"},
         71);
    spot({"Quick Fix Plumbing - 24 Hours.wav", "Quick Fix Plumbing", "Round the Clock Repairs", -60,
          0, std::nullopt, 23, 59, std::nullopt, "...day or night, Quick Fix."},
         59);
    spot({"Riverside Furniture - Weekend Sale.wav", "Riverside Furniture", "Weekend Sofa Sale", 8,
          7, 10, 19, 0, std::pair{7, 19}, "...Riverside Furniture, Mill Lane.", "Main Street Media",
          "Sam Rivers"},
         63);
    spot({"Oakwood Savings Bank - Savings.wav", "Oakwood Savings Bank", "Save for Summer", -120, 0,
          -90, 23, 59, std::nullopt, "...Oakwood, your local bank."},
         58);
    spot({"Zoë's Flowers - Mother's Day.wav", "Zoë's Flowers", "Flowers for Mother's Day", 9, 0, 16,
          12, 0, std::nullopt, "...Zoë's Flowers, Harbour Street.", "", "Pat Jones"},
         66);
    spot({"Town Council - Road Works.wav", "Harbourside Town Council", "Road Works on the Quay", -2,
          0, 5, 23, 59, std::nullopt, "...thank you for your patience.", "", "", "", "", "PSA"},
         61);

    // --- Jingles, sweepers, news and promos.
    files.push_back(Imaging("Morning Show Jingle.wav", "Morning Show Jingle", "JINGLE", 1200, 800,
                            std::pair{800, 2000}, Tune(72, 8, 150, 44100, 2),
                            {{"ICMT", "Sung logo, rises into the morning show theme."}}));
    files.push_back(Imaging("Drive Time Jingle.wav", "Drive Time with Anna", "JINGLE", 900, 600,
                            std::pair{400, 1600}, Tune(70, 8, 160, 44100, 2)));
    files.push_back(Imaging("Top of the Hour ID.wav", "Radio Harbourside - Top of the Hour",
                            "JINGLE", 0, 500, std::nullopt, Tune(74, 6, 140, 44100, 2)));
    files.push_back(Imaging("Weekend Jingle.wav", "The Weekend Starts Here", "JINGLE", 1000, 700,
                            std::pair{1000, 2200}, Tune(76, 8, 150, 44100, 2)));
    files.push_back(Imaging("Traffic and Travel Sting.wav", "Traffic and Travel", "JINGLE", 600,
                            400, std::nullopt, Tune(79, 5, 160, 44100, 2, false)));
    files.push_back(Imaging("Sweeper - More Music Variety.wav", "More Music Variety", "SWEEPER", 0,
                            600, std::pair{300, 1500}, Tune(68, 6, 140, 44100, 2)));
    files.push_back(Imaging("Sweeper - Commercial Free Hour.wav", "Commercial Free Hour", "SWEEPER",
                            0, 500, std::nullopt, Tune(73, 6, 130, 44100, 2)));
    files.push_back(Imaging("News Intro.wav", "Harbourside News - Intro", "NEWS", 2500, 500,
                            std::nullopt, Tune(60, 8, 120, 44100, 1),
                            {{"ITCH", "Voice: Anna Lindqvist"}}));
    files.push_back(Imaging("News Outro.wav", "Harbourside News - Outro", "NEWS", 0, 600,
                            std::nullopt, Tune(60, 6, 120, 44100, 1)));
    files.push_back(Imaging("Weather Intro.wav", "Weather on the Hour", "NEWS", 1500, 400,
                            std::nullopt, Tune(65, 6, 120, 44100, 1)));
    files.push_back(Imaging("Promo - Breakfast with Anna.wav", "Breakfast with Anna", "PROMO", 800,
                            500, std::nullopt, Tune(67, 10, 130, 44100, 2),
                            {{"IGNR", Stored(day.addDays(-5))},
                             {"BSTM", Time(0, 0)},
                             {"IKEY", Stored(day.addDays(30))},
                             {"BETM", Time(23, 59)}}));
    files.push_back(Imaging("Promo - Saturday Night Oldies.wav", "Saturday Night Oldies", "PROMO",
                            1000, 500, std::nullopt, Tune(62, 10, 130, 44100, 2),
                            {{"IGNR", Stored(day.addDays(2))},
                             {"BSTM", Time(0, 0)},
                             {"IKEY", Stored(day.addDays(3))},
                             {"BETM", Time(23, 0)},
                             {"BSTW", Time(18, 0)},
                             {"BETW", Time(23, 0)}}));

    // --- Music: ID3v2.4, ID3v2.3 and ID3v1-only MP3s, an MP2 sweeper.
    files.push_back(Song("The Tidewater Band - Summer Song.mp3", TDemoKind::Mp3Id3v24,
                         Tune(64, 16, 120, 44100, 2),
                         {{"DISP", "Summer Song"},
                          {"IART", "The Tidewater Band"},
                          {"ISRC", "MUSIC"},
                          {"BFAD", Flag(false)},
                          {"ISRF", "2000"},
                          {"IMED", "1500"},
                          {"HKST", "3000"},
                          {"HKEN", "6000"},
                          {"IALB", "Long Days"},
                          {"IYER", "2024"},
                          {"IGRE", "Pop"},
                          {"ITRK", "3"},
                          {"ICOM", "R. Tide"},
                          {"IPUB", "Tidewater Songs"},
                          {"BCPR", "Harbour Records"},
                          {"BKEY", "E"},
                          {"BEND", "Fade"},
                          {"BERG", "7"},
                          {"BTXR", "Mainstream"},
                          {"BTPO", "Medium Fast"},
                          {"IBPM", "120"}}));
    files.push_back(Song("Élodie Marchand - Café du Port.mp3", TDemoKind::Mp3Id3v24,
                         Tune(65, 14, 100, 44100, 2),
                         {{"DISP", "Café du Port"},
                          {"IART", "Élodie Marchand"},
                          {"ISRC", "MUSIC"},
                          {"BFAD", Flag(false)},
                          {"ISRF", "1800"},
                          {"IMED", "2000"},
                          {"HKST", "2400"},
                          {"HKEN", "5400"},
                          {"IALB", "Rive Gauche"},
                          {"IYER", "2019"},
                          {"IGRE", "Chanson"},
                          {"BKEY", "F"},
                          {"BEND", "Natural"},
                          {"BTPO", "Medium Slow"},
                          {"IBPM", "100"}}));
    files.push_back(Song("Midnight Ferry - Northern Line.mp3", TDemoKind::Mp3Id3v24,
                         Tune(62, 16, 128, 44100, 2),
                         {{"DISP", "Northern Line"},
                          {"IART", "Midnight Ferry"},
                          {"ISRC", "MUSIC"},
                          {"BFAD", Flag(true)},
                          {"ISRF", "1500"},
                          {"IMED", "900"},
                          {"HKST", "2000"},
                          {"HKEN", "4500"},
                          {"IALB", "Crossings"},
                          {"IYER", "2022"},
                          {"IGRE", "Rock"},
                          {"BEND", "Cold"},
                          {"BTPO", "Fast"},
                          {"IBPM", "128"}}));
    files.push_back(Song("Jürgen Fischer Trio - Nordlicht.mp3", TDemoKind::Mp3Id3v23,
                         Tune(57, 12, 96, 44100, 2),
                         {{"DISP", "Nordlicht"},
                          {"IART", "Jürgen Fischer Trio"},
                          {"ISRC", "MUSIC"},
                          {"BFAD", Flag(false)},
                          {"ISRF", "2500"},
                          {"IMED", "1800"},
                          {"IALB", "Winterreise"},
                          {"IYER", "2017"},
                          {"IGRE", "Jazz"},
                          {"BEND", "Long Fade"},
                          {"BTPO", "Slow"}}));
    files.push_back(Song("The Quayside Four - Harbour Lights.mp3", TDemoKind::Mp3Id3v1,
                         Tune(69, 12, 100, 44100, 2),
                         {{"DISP", "Harbour Lights"},
                          {"IART", "The Quayside Four"},
                          {"IALB", "Radio Days"},
                          {"IYER", "1968"},
                          {"IGRE", "Oldies"},
                          {"ICMT", "Try Add ID3v2 in the editor"}}));
    files.push_back(Song("Sally Brooks - Blue Canal.mp3", TDemoKind::Mp3Id3v1,
                         Tune(67, 12, 92, 44100, 2),
                         {{"DISP", "Blue Canal"},
                          {"IART", "Sally Brooks"},
                          {"IALB", "Towpath"},
                          {"IYER", "1974"},
                          {"IGRE", "Folk"}}));
    files.push_back(Song("Sweeper - Non-Stop Hits.mp2", TDemoKind::Mp2, Tune(70, 6, 140, 44100, 2),
                         {{"DISP", "Non-Stop Hits"},
                          {"IART", "Radio Harbourside Imaging"},
                          {"ISRC", "SWEEPER"},
                          {"BFAD", Flag(true)},
                          {"IMED", "400"},
                          {"HKST", "200"},
                          {"HKEN", "1400"}}));

    // --- Beds, in a folder of their own.
    const auto bed = [&](const char* name, const char* title, int root, double bpm, TDemoKind kind,
                         const char* end) {
        files.push_back(Song(name, kind,
                             Tune(root, 12, bpm, kind == TDemoKind::Mp2 ? 32000 : 22050,
                                  kind == TDemoKind::Mp2 ? 2 : 1),
                             {{"DISP", title},
                              {"IART", "Radio Harbourside Imaging"},
                              {"ISRC", "BED"},
                              {"BFAD", Flag(false)},
                              {"HKST", "0"},
                              {"BEND", end},
                              {"BTPO", "Slow"}}));
    };
    bed("Beds/News Bed.mp2", "News Bed", 48, 90, TDemoKind::Mp2, "Cold");
    bed("Beds/Weather Bed.wav", "Weather Bed", 53, 100, TDemoKind::Wav, "Fade");
    bed("Beds/Traffic Bed.wav", "Traffic Bed", 55, 110, TDemoKind::Wav, "Cold");
    bed("Beds/Talk Bed - Long Fade.wav", "Talk Bed", 50, 80, TDemoKind::Wav, "Long Fade");

    // --- Delivered by the playout system: cart and bext, none of our keys.
    DemoRiff::TCart hotel;
    hotel.Title = "Bayview Hotel - Sunday Lunch";
    hotel.Artist = "Bayview Hotel";
    hotel.CutId = "2041";
    hotel.ClientId = "BAYVIEW";
    hotel.Category = "COMMERCIAL";
    hotel.OutCue = "...Sunday lunch at the Bayview.";
    hotel.StartDate = CartDate(day.addDays(-4));
    hotel.StartTime = "00:00:00";
    hotel.EndDate = CartDate(day.addDays(24));
    hotel.EndTime = "23:59:59";
    hotel.Url = "https://bayview-hotel.example";
    hotel.TagText = "Sunday lunch at the Bayview Hotel.\r\nThree courses, sea views.\r\n";
    files.push_back(Playout(day, "From Playout/Cart 2041 - Bayview Hotel.wav",
                            TDemoKind::PlayoutWav, Tune(66, 10, 120, 44100, 2), hotel,
                            "Bayview Hotel - Sunday Lunch", 0, 300));

    DemoRiff::TCart hardware;
    hardware.Title = "Fenwick Hardware - Paint Sale";
    hardware.Artist = "Fenwick Hardware";
    hardware.CutId = "2057";
    hardware.ClientId = "FENWICK";
    hardware.Category = "COMMERCIAL";
    hardware.OutCue = "...Fenwick's, since 1952.";
    hardware.StartDate = CartDate(day.addDays(-30));
    hardware.StartTime = "06:00:00";
    hardware.EndDate = CartDate(day.addDays(-3));
    hardware.EndTime = "18:00:00";
    files.push_back(Playout(day, "From Playout/Cart 2057 - Fenwick Hardware.wav",
                            TDemoKind::PlayoutMpegWav, Tune(61, 10, 120, 48000, 2), hardware,
                            "Fenwick Hardware - Paint Sale", 0, 300));

    // The playout system's way of saying "no air dates".
    DemoRiff::TCart id;
    id.Title = "Station ID - Sung";
    id.Artist = "Radio Harbourside Imaging";
    id.CutId = "3102";
    id.Category = "JINGLE";
    id.StartDate = "1900-01-01";
    id.StartTime = "00:00:00";
    id.EndDate = "9999-12-31";
    id.EndTime = "23:59:59";
    files.push_back(Playout(day, "From Playout/Cart 3102 - Station ID.wav", TDemoKind::PlayoutWav,
                            Tune(77, 8, 150, 44100, 2), id, "Station ID - Sung", 1100, 700));

    DemoRiff::TCart song;
    song.Title = "Maré Alta";
    song.Artist = "Ana Sousa";
    song.CutId = "5510";
    song.Category = "MUSIC";
    song.StartDate = "1900-01-01";
    song.StartTime = "00:00:00";
    song.EndDate = "9999-12-31";
    song.EndTime = "23:59:59";
    files.push_back(Playout(day, "From Playout/Cart 5510 - Ana Sousa - Maré Alta.wav",
                            TDemoKind::PlayoutWav, Tune(63, 14, 110, 44100, 2), song,
                            "Ana Sousa - Maré Alta", 2200, 1500));
    return files;
}
