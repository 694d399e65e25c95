#include "AudioFixtures.h"
#include "TagCatalogue.h"
#include "TempDir.h"

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

struct TRunResult {
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};

TRunResult RunTool(const std::vector<std::string>& args) {
    QStringList arguments;
    for (const std::string& arg : args)
        arguments << QString::fromStdString(arg);
    QProcess process;
    process.start(QStringLiteral(CUEMARK_TAG_BINARY), arguments);
    EXPECT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    return {process.exitCode(), process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// KEY -> escaped value of one file's `show` block, checking the block's shape on the way.
std::map<std::string, std::string> ShowBlock(const std::vector<std::string>& lines, size_t first) {
    std::map<std::string, std::string> values;
    const auto keys = TTagCatalogue::Keys();
    for (size_t i = 0; i < keys.size(); ++i) {
        const std::string& line = lines.at(first + i);
        const std::string prefix = std::string(keys[i].Key) + "=";
        EXPECT_EQ(line.rfind(prefix, 0), 0u) << "line " << first + i << ": " << line;
        values[keys[i].Key] = line.substr(prefix.size());
    }
    return values;
}

// Records of an RFC 4180 text; fails the test on a malformed quote or record end.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '"') {
            for (++i;; ++i) {
                if (i >= text.size()) {
                    ADD_FAILURE() << "unterminated quoted field";
                    return records;
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        ++i;
                    } else {
                        ++i;
                        break;
                    }
                } else {
                    field += text[i];
                }
            }
        }
        while (i < text.size() && text[i] != ',' && text[i] != '\r') {
            EXPECT_NE(text[i], '"') << "quote inside an unquoted field";
            EXPECT_NE(text[i], '\n') << "bare line feed outside quotes";
            field += text[i++];
        }
        record.push_back(field);
        field.clear();
        if (i < text.size() && text[i] == ',') {
            ++i;
            continue;
        }
        EXPECT_EQ(text.compare(i, 2, "\r\n"), 0) << "record not ended by CR LF";
        i += 2;
        records.push_back(record);
        record.clear();
    }
    return records;
}

class TagToolTest : public ::testing::Test {
protected:
    std::string MakeWav(const std::string& name, int rate = 44100, int channels = 2) {
        const std::string path = Dir.File(name);
        Fixtures::TToneSpec tone;
        tone.SampleRate = rate;
        tone.Channels = channels;
        tone.Seconds = 0.5;
        EXPECT_TRUE(Fixtures::WritePcmWav(path, tone, SF_FORMAT_PCM_16));
        return path;
    }

    TTempDir Dir;
};

TEST_F(TagToolTest, SetThenShowRoundTripsValuesWithEscapes) {
    const std::string wav = MakeWav("spot.wav");
    const TRunResult set =
        RunTool({"set", wav, "DISP=Hello, \"World\"", "IART=Ann & Co", "ICMT=line one\\nline two",
                 "ITCH=a\\r\\nb", "IURL=C:\\dir\\\\x", "IGNR=2003/12/16", "BSTM=08:30", "ISRF=1500",
                 "BFAD=-1", "IGRE=Gangsta "});
    ASSERT_EQ(set.ExitCode, 0) << set.Err;
    EXPECT_EQ(set.Err, "");

    const TRunResult show = RunTool({"show", wav});
    ASSERT_EQ(show.ExitCode, 0) << show.Err;
    const auto lines = Lines(show.Out);
    ASSERT_EQ(lines.size(), 36u);
    EXPECT_EQ(lines[0], "== " + wav);
    auto values = ShowBlock(lines, 1);
    EXPECT_EQ(values["DISP"], "Hello, \"World\"");
    EXPECT_EQ(values["IART"], "Ann & Co");
    EXPECT_EQ(values["ICMT"], "line one\\nline two");
    EXPECT_EQ(values["ITCH"], "a\\r\\nb");
    // A lone backslash stands for itself; a doubled one for one backslash.
    EXPECT_EQ(values["IURL"], "C:\\\\dir\\\\x");
    EXPECT_EQ(values["IGNR"], "2003/12/16");
    EXPECT_EQ(values["ISRF"], "1500");
    EXPECT_EQ(values["BFAD"], "-1");
    EXPECT_EQ(values["IGRE"], "Gangsta ");
    EXPECT_EQ(values["IALB"], ""); // absent

    // The shown form is accepted by set unchanged: writing it back changes nothing.
    const TRunResult again = RunTool(
        {"set", wav, "ICMT=" + values["ICMT"], "ITCH=" + values["ITCH"], "IURL=" + values["IURL"]});
    ASSERT_EQ(again.ExitCode, 0) << again.Err;
    EXPECT_EQ(RunTool({"show", wav}).Out, show.Out);
}

TEST_F(TagToolTest, EmptyValueRemovesKeyAndEmptiesTitle) {
    const std::string wav = MakeWav("song.wav");
    ASSERT_EQ(RunTool({"set", wav, "DISP=Title", "IALB=Album", "IYER=1999"}).ExitCode, 0);
    ASSERT_EQ(RunTool({"set", wav, "DISP=", "IALB="}).ExitCode, 0);
    const auto values = ShowBlock(Lines(RunTool({"show", wav}).Out), 1);
    EXPECT_EQ(values.at("DISP"), " "); // the title chunk keeps one blank, as the editor saves it
    EXPECT_EQ(values.at("IALB"), "");
    EXPECT_EQ(values.at("IYER"), "1999");
}

TEST_F(TagToolTest, RefusedSetWritesNothing) {
    const std::string wav = MakeWav("keep.wav");
    ASSERT_EQ(RunTool({"set", wav, "IART=Before"}).ExitCode, 0);
    const auto before = Fixtures::ReadBytes(wav);

    // A bad key or value is named in one line; a malformed argument gets the usage text.
    const struct {
        std::string Argument;
        std::string Named; // in the one line; empty: the usage text is shown
    } cases[] = {
        {"XXXX=1", "unknown key \"XXXX\""},
        {"iart=1", "unknown key \"iart\""},
        {"ICMT=" + std::string(70000, 'x'), "the value of ICMT is longer than 65535 bytes"},
        {"NOVALUE", ""},
    };
    for (const auto& c : cases) {
        const TRunResult result = RunTool({"set", wav, "IART=After", c.Argument});
        SCOPED_TRACE(c.Argument.substr(0, 20));
        EXPECT_EQ(result.ExitCode, 2);
        if (c.Named.empty()) {
            EXPECT_NE(result.Err.find("usage:"), std::string::npos) << result.Err;
        } else {
            EXPECT_EQ(Lines(result.Err).size(), 1u) << result.Err;
            EXPECT_NE(result.Err.find(c.Named), std::string::npos) << result.Err;
        }
    }
    EXPECT_EQ(Fixtures::ReadBytes(wav), before);
}

TEST_F(TagToolTest, ExitCodesAndFailureLines) {
    const std::string wav = MakeWav("good.wav");
    const std::string text = Dir.File("notes.txt");
    ASSERT_TRUE(Fixtures::WriteBytes(text, {'h', 'i', '\n'}));
    const std::string missing = Dir.File("missing.wav");

    // One failure line per failing file; the good file is still shown.
    const TRunResult show = RunTool({"show", missing, wav, text});
    EXPECT_EQ(show.ExitCode, 1);
    const auto errors = Lines(show.Err);
    ASSERT_EQ(errors.size(), 2u) << show.Err;
    EXPECT_NE(errors[0].find(missing), std::string::npos);
    EXPECT_NE(errors[1].find(text), std::string::npos);
    EXPECT_EQ(Lines(show.Out).size(), 36u);
    EXPECT_EQ(Lines(show.Out)[0], "== " + wav);

    EXPECT_EQ(RunTool({"set", missing, "IART=x"}).ExitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(missing));

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, std::vector<std::string>{"show"},
          std::vector<std::string>{"set", wav}, std::vector<std::string>{"export"},
          std::vector<std::string>{"frobnicate", wav}}) {
        const TRunResult result = RunTool(args);
        EXPECT_EQ(result.ExitCode, 2);
        EXPECT_NE(result.Err.find("usage: cuemark-tag show FILE..."), std::string::npos);
        EXPECT_EQ(result.Out, "");
    }
}

TEST_F(TagToolTest, HelpListsEveryKeyWithItsMeaningAndVersionIsShown) {
    const TRunResult help = RunTool({"--help"});
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_NE(help.Out.find("usage: cuemark-tag show FILE..."), std::string::npos);
    const auto lines = Lines(help.Out);
    for (const TTagKeyInfo& key : TTagCatalogue::Keys()) {
        const std::string start = std::string("  ") + key.Key + "  " + key.Meaning;
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [&](const std::string& line) { return line.rfind(start, 0) == 0; }),
                  1)
            << key.Key;
    }
    // INAM holds the closing words of a spot, not a title.
    EXPECT_NE(help.Out.find("  INAM  out-cue"), std::string::npos) << help.Out;
    EXPECT_NE(help.Out.find("  IGNR  start date (yyyy/mm/dd)"), std::string::npos) << help.Out;

    const TRunResult version = RunTool({"--version"});
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_EQ(version.Out.rfind("cuemark-tag ", 0), 0u) << version.Out;
    EXPECT_TRUE(version.Out.size() > 12 &&
                std::isdigit(static_cast<unsigned char>(version.Out[12])))
        << version.Out;
}

// A spreadsheet runs a cell that starts with = + - @ TAB or CR as a formula; exported text
// cells are kept as text by a leading apostrophe, numbers stay numbers.
TEST_F(TagToolTest, ExportNeutralisesCellsASpreadsheetWouldRun) {
    const std::filesystem::path folder = Dir.Path() / "formula";
    std::filesystem::create_directories(folder);
    const std::string wav = MakeWav("formula/=cmd.wav");
    const std::vector<std::pair<std::string, std::string>> values = {
        {"IART", "=HYPERLINK(\"http://x\",\"y\")"},
        {"DISP", "+1+2"},
        {"ICMT", "-2+3"},
        {"ITCH", "@SUM(A1)"},
        {"IALB", "\tTab"},
        {"ICOM", "\\rx"}, // a carriage return, by its escape
        {"IPUB", "-"},
        {"IBPM", "-1"},
        {"IYER", "+120"},
        {"BERG", "-0.5"},
        {"ICOP", "a=b"},
    };
    std::vector<std::string> args{"set", wav};
    for (const auto& [key, value] : values)
        args.push_back(key + "=" + value);
    ASSERT_EQ(RunTool(args).ExitCode, 0);

    const TRunResult result = RunTool({"export", folder.string()});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    const auto records = ParseCsv(result.Out);
    ASSERT_EQ(records.size(), 2u);
    const auto& row = records[1];
    auto cell = [&](const char* key) {
        for (const TColumnInfo& column : TTagCatalogue::Columns())
            if (column.HasKey() && std::string(column.Key) == key)
                return row.at(static_cast<size_t>(column.Number));
        ADD_FAILURE() << key;
        return std::string();
    };
    EXPECT_EQ(row[0].substr(row[0].size() - 8), "=cmd.wav"); // a path starts with "/"
    EXPECT_EQ(cell("IART"), "'=HYPERLINK(\"http://x\",\"y\")");
    EXPECT_EQ(cell("DISP"), "'+1+2");
    EXPECT_EQ(cell("ICMT"), "'-2+3");
    EXPECT_EQ(cell("ITCH"), "'@SUM(A1)");
    EXPECT_EQ(cell("IALB"), "'\tTab");
    EXPECT_EQ(cell("ICOM"), "'\rx");
    EXPECT_EQ(cell("IPUB"), "'-");
    EXPECT_EQ(cell("IBPM"), "-1");
    EXPECT_EQ(cell("IYER"), "+120");
    EXPECT_EQ(cell("BERG"), "-0.5");
    EXPECT_EQ(cell("ICOP"), "a=b");
}

// What the tagging library says went wrong reaches the user.
TEST_F(TagToolTest, FailedSaveShowsTheLibrarysReason) {
    Fixtures::TToneSpec tone;
    tone.Seconds = 0.5;
    const std::string mp3 = Dir.File("v1only.mp3");
    ASSERT_TRUE(Fixtures::WriteMp3(mp3, tone, false));
    const auto before = Fixtures::ReadBytes(mp3);
    // An MPEG file without ID3v2 keeps ID3v1 fields: 30 bytes of title.
    const TRunResult result = RunTool({"set", mp3, "DISP=" + std::string(48, 'T')});
    EXPECT_EQ(result.ExitCode, 1);
    const auto errors = Lines(result.Err);
    ASSERT_EQ(errors.size(), 1u) << result.Err;
    EXPECT_EQ(errors[0].rfind("cuemark-tag: " + mp3 + ": the changes could not be saved: ", 0), 0u)
        << errors[0];
    EXPECT_NE(errors[0].find("ID3v1"), std::string::npos) << errors[0];
    EXPECT_EQ(Fixtures::ReadBytes(mp3), before);
}

TEST_F(TagToolTest, ExportWritesColumnsOfFilesAndFolders) {
    const std::filesystem::path folder = Dir.Path() / "folder";
    std::filesystem::create_directories(folder / "sub");
    const std::string b = MakeWav("folder/b.wav", 48000, 1);
    const std::string a = MakeWav("folder/A.WAV");
    MakeWav("folder/sub/nested.wav"); // not recursive
    ASSERT_TRUE(Fixtures::WriteBytes((folder / "readme.txt").string(), {'x'}));
    Fixtures::TToneSpec tone;
    tone.Seconds = 0.5;
    const std::string mp3 = (folder / "c.Mp3").string();
    ASSERT_TRUE(Fixtures::WriteMp3(mp3, tone, false));
    const std::string single = MakeWav("single.wav");

    ASSERT_EQ(RunTool({"set", a, "DISP=Say \"hi\", then\\nleave", "IART=Artist", "IGNR=2004/01/31",
                       "BSTM=08:30", "IKEY=2004/02/01", "HKST=0"})
                  .ExitCode,
              0);
    ASSERT_EQ(RunTool({"set", b, "IKEY= ", "BETM=23:00"}).ExitCode, 0);

    const TRunResult result = RunTool({"export", single, folder.string()});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    const auto records = ParseCsv(result.Out);
    ASSERT_EQ(records.size(), 5u); // header, the file given, then A.WAV, b.wav, c.Mp3

    std::vector<std::string> header{"File"};
    for (const TColumnInfo& column : TTagCatalogue::Columns())
        header.push_back(column.CaptionText);
    EXPECT_EQ(records[0], header);
    for (const auto& record : records)
        EXPECT_EQ(record.size(), 35u);

    EXPECT_EQ(records[1][0], single);
    EXPECT_EQ(std::filesystem::path(records[2][0]).filename(), "A.WAV");
    EXPECT_EQ(std::filesystem::path(records[3][0]).filename(), "b.wav");
    EXPECT_EQ(std::filesystem::path(records[4][0]).filename(), "c.Mp3");

    const auto& rowA = records[2];
    EXPECT_EQ(rowA[3], "Artist");
    EXPECT_EQ(rowA[4], "Say \"hi\", then\nleave");
    EXPECT_EQ(rowA[8], "0");
    EXPECT_EQ(rowA[10], "2004/01/31 08:30"); // date joined by one blank to its time
    EXPECT_EQ(rowA[11], "2004/02/01");       // no end time: the date alone
    EXPECT_EQ(records[3][11], "  23:00");    // a blank date keeps its blank
    EXPECT_EQ(rowA[2], "00:00.5");
    EXPECT_NE(rowA[1], "Unknown");
    EXPECT_NE(rowA[1].find(" - "), std::string::npos);
    EXPECT_NE(records[3][1], rowA[1]); // 48 kHz mono is described differently

    // A path that does not exist fails with exit code 1 but the rest is exported.
    const TRunResult partial = RunTool({"export", Dir.File("nothing"), single});
    EXPECT_EQ(partial.ExitCode, 1);
    EXPECT_NE(partial.Err.find("nothing"), std::string::npos);
    EXPECT_EQ(ParseCsv(partial.Out).size(), 2u);
}

TEST_F(TagToolTest, BroadcastOptionsReachTheCartAndShowAndExportListIt) {
    const std::string path = MakeWav("spot.wav");
    // A two-byte character across the end of the 64-byte Title field.
    const std::string title = std::string(63, 'T') + "\xC3\xA9";
    const TRunResult set = RunTool({"--cart=always", "--timers=genesys", "set", path,
                                    "DISP=" + title, "ISRF=250", "INAM=bye"});
    ASSERT_EQ(set.ExitCode, 0) << set.Err;
    EXPECT_NE(set.Err.find(path + ": warning: the cart chunk holds a shortened copy of Title"),
              std::string::npos)
        << set.Err;

    const TRunResult show = RunTool({"show", path});
    ASSERT_EQ(show.ExitCode, 0) << show.Err;
    const auto lines = Lines(show.Out);
    EXPECT_EQ(ShowBlock(lines, 1)["DISP"], title); // the key keeps the whole value
    const auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("cart.Title=" + std::string(63, 'T')));
    EXPECT_TRUE(has("cart.OutCue=bye"));
    EXPECT_TRUE(has("cart.ProducerAppID=Cuemark"));
    EXPECT_TRUE(has("cart.PostTimer1=INT  11025 (250 ms)")) << show.Out;

    const TRunResult plain = RunTool({"export", path});
    EXPECT_EQ(ParseCsv(plain.Out).at(0).size(), 35u);
    const TRunResult wide = RunTool({"export", "--broadcast", path, MakeWav("other.wav")});
    ASSERT_EQ(wide.ExitCode, 0) << wide.Err;
    const auto records = ParseCsv(wide.Out);
    ASSERT_EQ(records.size(), 3u);
    const auto column = std::find(records[0].begin(), records[0].end(), "cart.OutCue");
    ASSERT_NE(column, records[0].end());
    const auto at = static_cast<size_t>(column - records[0].begin());
    EXPECT_EQ(records[1].at(at), "bye");
    EXPECT_EQ(records[2].at(at), ""); // a file without a cart has the column empty

    EXPECT_EQ(RunTool({"--cart=sometimes", "show", path}).ExitCode, 2);
    EXPECT_EQ(RunTool({"--timers=other", "show", path}).ExitCode, 2);
}

// The figures printed, and --write storing them in a WAV file's bext chunk only where the cart
// option allows a new broadcast chunk; the audio bytes stay as they were.
TEST_F(TagToolTest, LoudnessPrintsTheFiguresAndWriteStoresThemInBext) {
    const std::string path = Dir.File("sine.wav");
    // EBU Tech 3341's first signal: a 1 kHz stereo sine at -23 dBFS measures -23.0 LUFS.
    ASSERT_EQ(
        std::system(
            ("sox -R -n -r 48000 -c 2 -b 16 '" + path + "' synth 4 sine 1000 vol -23dB").c_str()),
        0);
    const auto slurp = [&] {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    };
    const std::string before = slurp();

    const TRunResult printed = RunTool({"loudness", "--write", path});
    ASSERT_EQ(printed.ExitCode, 0) << printed.Err;
    const auto lines = Lines(printed.Out);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "== " + path);
    ASSERT_EQ(lines[1].rfind("Integrated=", 0), 0u) << lines[1];
    EXPECT_NEAR(std::strtod(lines[1].c_str() + 11, nullptr), -23.0, 0.1) << lines[1];
    EXPECT_NE(printed.Err.find(path + ": not stored"), std::string::npos) << printed.Err;
    EXPECT_EQ(slurp(), before); // no bext, and the default keeps a file without one as it is

    const TRunResult stored = RunTool({"--cart=always", "loudness", "--write", path});
    ASSERT_EQ(stored.ExitCode, 0) << stored.Err;
    const std::string after = slurp();
    const auto chunk = [](const std::string& b, const std::string& id) -> std::string {
        for (size_t at = 12; at + 8 <= b.size();) {
            uint32_t size = 0;
            for (int i = 3; i >= 0; --i)
                size = size << 8 | uint8_t(b[at + 4 + size_t(i)]);
            if (b.compare(at, 4, id) == 0)
                return b.substr(at + 8, size);
            at += 8 + size + (size & 1);
        }
        return {};
    };
    EXPECT_EQ(chunk(after, "data"), chunk(before, "data"));
    const std::string bext = chunk(after, "bext");
    ASSERT_GE(bext.size(), 602u);
    const auto le16 = [&](size_t at) {
        return int16_t(uint8_t(bext[at]) | uint8_t(bext[at + 1]) << 8);
    };
    EXPECT_EQ(le16(346), 2);
    EXPECT_NEAR(le16(412), -2300, 2);
    EXPECT_NEAR(le16(416), -2300, 2);
}

} // namespace
