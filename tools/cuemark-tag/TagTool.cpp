#include "TagTool.h"

#include "CsvWriter.h"
#include "TAudioAnalysis.h"
#include "TAudioFileRule.h"
#include "TAudioLibs.h"
#include "TLinkedDecodeOps.h"
#include "TLoudnessFiguresOf.h"
#include "TLoudnessWriter.h"
#include "TagCatalogue.h"
#include "TextForms.h"
#include "ValueEscape.h"

#include <riffkit.h>
#include <sonara.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <utility>

namespace fs = std::filesystem;

namespace {

// Values are read whole: SetTagInfo's length is 16-bit, so no stored value is longer.
constexpr int32_t ValueBufferSize = 65536;
constexpr size_t MaxValueBytes = 65535;
constexpr int32_t FormatBufferSize = 128;

// The tagging library's one current file, closed on every path out.
class TOpenTagFile {
public:
    explicit TOpenTagFile(const std::string& path) : Open(OpenWavFile(path.c_str(), 0, 0) == 0) {}
    ~TOpenTagFile() {
        if (Open)
            CloseWavFile();
    }
    TOpenTagFile(const TOpenTagFile&) = delete;
    TOpenTagFile& operator=(const TOpenTagFile&) = delete;

    bool IsOpen() const { return Open; }
    // Commits the changes; false when the library reports they were not stored.
    bool Close() {
        Open = false;
        return CloseWavFile() == 0;
    }

private:
    bool Open;
};

std::string ReadKey(const TTagKeyInfo& key) {
    std::string buffer(ValueBufferSize, '\0');
    if (key.IsChunk)
        GetChunkInfo(key.Key, buffer.data(), ValueBufferSize);
    else
        GetTagInfo(key.Key, buffer.data(), ValueBufferSize);
    buffer[ValueBufferSize - 1] = '\0'; // never trust the callee to end the text
    buffer.resize(std::char_traits<char>::length(buffer.c_str()));
    return buffer;
}

void WriteKey(const TTagKeyInfo& key, const std::string& value) {
    if (key.IsChunk) {
        // The title chunk is never removed; an empty title is stored as one blank, as the
        // editor stores it.
        const std::string text = value.empty() ? std::string(" ") : value;
        SetChunkInfo(key.Key, text.data(), static_cast<uint16_t>(text.size()));
    } else if (value.empty()) {
        RemoveTag(key.Key);
    } else {
        SetTagInfo(key.Key, value.data(), static_cast<uint16_t>(value.size()));
    }
}

// The tagging library's reason for its last failed open or close; empty when it gave none.
std::string LibraryReason() {
    char buffer[1024] = {};
    const int32_t length = GetTagLastError(buffer, static_cast<int32_t>(sizeof buffer));
    if (length <= 0)
        return {};
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

// The text a library call copies out: asked for its length first, then read whole.
template <typename TCall> std::string CopiedText(TCall call) {
    const int32_t length = call(nullptr, 0);
    if (length <= 0)
        return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    call(text.data(), static_cast<int32_t>(text.size()));
    text.resize(std::char_traits<char>::length(text.c_str()));
    return text;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The open file's stored cart and bext fields, in the library's order.
std::vector<std::pair<std::string, std::string>> BroadcastFields() {
    std::vector<std::pair<std::string, std::string>> fields;
    for (const std::string& name :
         SplitLines(CopiedText([](char*b, int32_t n) { return GetBroadcastFields(b, n); }))) {
        fields.emplace_back(name, CopiedText([&](char* b, int32_t n) {
                                return std::max(GetBroadcastInfo(name.c_str(), b, n), 0);
                            }));
    }
    return fields;
}

std::string OpenFailureReason(const std::string& path) {
    if (std::string reason = LibraryReason(); !reason.empty())
        return reason;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status))
        return "no such file";
    if (fs::is_directory(status))
        return "is a folder";
    return "cannot be opened for tagging";
}

std::string FormatText(const std::string& path) {
    char a[FormatBufferSize] = {};
    char b[FormatBufferSize] = {};
    if (SN_GetWaveFileFormat(path.c_str(), a, FormatBufferSize, b, FormatBufferSize) == 0)
        return "Unknown";
    a[FormatBufferSize - 1] = '\0';
    b[FormatBufferSize - 1] = '\0';
    return std::string(a) + " - " + b;
}

std::string LengthText(const std::string& path) {
    const uint32_t ms = SN_PlayGetLengthMsFile(path.c_str());
    return ms == 0 ? std::string("Zero") : TimeText(ms).toStdString();
}

} // namespace

const char* TTagTool::UsageText() {
    return "usage: cuemark-tag show FILE...\n"
           "       cuemark-tag set FILE KEY=VALUE...\n"
           "       cuemark-tag export [--broadcast] PATH...\n"
           "       cuemark-tag loudness [--write [--replaygain]] FILE...\n"
           "       cuemark-tag --help | --version\n"
           "\n"
           "show    prints KEY=VALUE for all 35 keys of each file, after a line \"== FILE\",\n"
           "        then the stored broadcast fields of a WAV file (cart.Title=, "
           "bext.Description=\n"
           "        ...); an empty key shows what the file's cart or bext chunk holds for it\n"
           "set     sets the keys in one write; KEY= removes the key (DISP= empties the title)\n"
           "export  writes CSV of the files given and of the .wav, .mp2 and .mp3 files in the\n"
           "        folders given (not recursive); a text cell that a spreadsheet would take\n"
           "        for a formula starts with an apostrophe; --broadcast adds a column for each\n"
           "        stored cart and bext field\n"
           "loudness  decodes each file as it is played and prints, after \"== FILE\", its\n"
           "        EBU R128 loudness (Integrated, LUFS; -inf for silence), loudness Range (LU),\n"
           "        MaxMomentary and MaxShortTerm (LUFS), SamplePeak (dBFS), TruePeak (dBTP)\n"
           "        and Length (ms); --write stores them in each WAV file's bext chunk\n"
           "        (version 2; a file without one gets one only with --cart=always), and\n"
           "        with --replaygain in each MPEG file as ReplayGain 2.0 frames\n"
           "        (REPLAYGAIN_TRACK_GAIN = -18 LUFS less the integrated loudness)\n"
           "Options for the cart chunk of WAV files (as the program's Broadcast chunks setting),\n"
           "given before or after the command:\n"
           "  --cart=keep     keep the cart in step with the keys when the file has one (default)\n"
           "  --cart=always   always write a cart\n"
           "  --cart=never    never change the cart\n"
           "  --timers=common|genesys  the post timers written for intro, segue and hook\n"
           "A cart field too short for its value holds a shortened copy (the key keeps it whole);\n"
           "set then warns on a line of its own.\n"
           "In values a line feed is written \\n, a carriage return \\r and a backslash \\\\.\n"
           "Exit code: 0 all went well, 1 a file failed, 2 wrong usage.\n";
}

std::string TTagTool::HelpText() {
    std::string text = UsageText();
    text += "\nKeys:\n";
    for (const TTagKeyInfo& key : TTagCatalogue::Keys()) {
        std::string line = std::string("  ") + key.Key + "  " + key.Meaning;
        switch (key.Form) {
        case TValueForm::Flag:
            line += " (-1 yes, 0 no)";
            break;
        case TValueForm::MarkerFromStart:
            line += " (milliseconds from the start)";
            break;
        case TValueForm::MarkerBeforeEnd:
            line += " (milliseconds before the end)";
            break;
        case TValueForm::Date:
            line += " (yyyy/mm/dd)";
            break;
        case TValueForm::Time:
            line += " (hh:nn, 24-hour)";
            break;
        case TValueForm::Text:
            break;
        }
        text += line + "\n";
    }
    return text;
}

bool TTagTool::TakeOptions(std::vector<std::string>& args, int& exitCode) {
    static const std::pair<const char*, int32_t> modes[] = {
        {"keep", 0}, {"always", 1}, {"never", 2}};
    static const std::pair<const char*, int32_t> profiles[] = {{"common", 0}, {"genesys", 1}};
    const auto pick = [](const auto& table, const std::string& word, int32_t& out) {
        for (const auto& [name, code] : table) {
            if (word == name) {
                out = code;
                return true;
            }
        }
        return false;
    };
    std::vector<std::string> rest;
    for (const std::string& arg : args) {
        if (arg.rfind("--cart=", 0) == 0) {
            if (!pick(modes, arg.substr(7), CartMode)) {
                exitCode = Refuse("\"" + arg + "\": the cart is keep, always or never");
                return false;
            }
        } else if (arg.rfind("--timers=", 0) == 0) {
            if (!pick(profiles, arg.substr(9), TimerProfile)) {
                exitCode = Refuse("\"" + arg + "\": the timers are common or genesys");
                return false;
            }
        } else if (arg == "--broadcast") {
            ExportBroadcast = true;
        } else if (arg == "--write") {
            WriteLoudness = true;
        } else if (arg == "--replaygain") {
            WriteReplayGain = true;
        } else {
            rest.push_back(arg);
        }
    }
    args = std::move(rest);
    return true;
}

int TTagTool::Run(const std::vector<std::string>& givenArgs) {
    std::vector<std::string> args = givenArgs;
    int exitCode = ExitOk;
    if (!TakeOptions(args, exitCode))
        return exitCode;
    SetBroadcastOptions(CartMode, TimerProfile);
    if (args.empty())
        return Usage("");
    const std::string& command = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "-h" || command == "--help" || command == "help") {
        Out << HelpText();
        return ExitOk;
    }
    if (command == "--version") {
        Out << "cuemark-tag " << CUEMARK_TAG_VERSION << "\n";
        return ExitOk;
    }
    if (command == "show") {
        if (rest.empty())
            return Usage("show: no file given");
        return Show(rest);
    }
    if (command == "set") {
        if (rest.size() < 2)
            return Usage("set: a file and at least one KEY=VALUE are needed");
        return Set(rest.front(), std::vector<std::string>(rest.begin() + 1, rest.end()));
    }
    if (command == "export") {
        if (rest.empty())
            return Usage("export: no path given");
        return Export(rest);
    }
    if (command == "loudness") {
        if (rest.empty())
            return Usage("loudness: no file given");
        return Loudness(rest);
    }
    return Usage("unknown command \"" + command + "\"");
}

int TTagTool::Loudness(const std::vector<std::string>& files) {
    const TDecodeOps ops = LinkedDecodeOps();
    const auto figure = [](double value) {
        if (!std::isfinite(value))
            return std::string(value < 0 ? "-inf" : "inf");
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", value);
        return std::string(text);
    };
    for (const std::string& file : files) {
        std::string error;
        const auto analysis = TAudioAnalysis::Run(file, ops, nullptr, error);
        if (!analysis) {
            Fail(file, error);
            continue;
        }
        const TLoudness& l = analysis->Loudness;
        if (WriteLoudness)
            StoreLoudness(file, l);
        Out << "== " << file << "\n"
            << "Integrated=" << figure(l.Integrated) << " LUFS\n"
            << "Range=" << figure(l.Range) << " LU\n"
            << "MaxMomentary=" << figure(l.MaxMomentary) << " LUFS\n"
            << "MaxShortTerm=" << figure(l.MaxShortTerm) << " LUFS\n"
            << "SamplePeak=" << figure(l.SamplePeak) << " dBFS\n"
            << "TruePeak=" << figure(l.TruePeak) << " dBTP\n"
            << "Length=" << analysis->LengthMs() << " ms\n";
    }
    return Result();
}

void TTagTool::StoreLoudness(const std::string& file, const TLoudness& loudness) {
    // The writer goes through the table of library operations: here the linked ones.
    TAudioLibs libs;
    libs.OpenWavFile = &OpenWavFile;
    libs.CloseWavFile = &CloseWavFile;
    libs.HasId3v2 = &HasId3v2;
    libs.AddId3v2 = &AddId3v2;
    libs.GetTagLastError = &GetTagLastError;
    libs.SetLoudness = &SetLoudness;
    SetAudioLibs(libs);
    const TLoudnessWriter::TResult result = TLoudnessWriter::Write(
        QByteArray::fromStdString(file), LoudnessFiguresOf(loudness), WriteReplayGain);
    if (result.Outcome == TLoudnessWriter::TOutcome::Failed)
        Fail(file, "not stored: " + result.Reason.toStdString());
    else if (result.Outcome == TLoudnessWriter::TOutcome::NotStored)
        Err << "cuemark-tag: " << file << ": not stored"
            << (result.Reason.isEmpty() ? std::string(" (an MPEG file without --replaygain)")
                                        : ": " + result.Reason.toStdString())
            << "\n";
}

int TTagTool::Usage(const std::string& message) {
    if (!message.empty())
        Err << "cuemark-tag: " << message << "\n";
    Err << UsageText();
    return ExitUsage;
}

int TTagTool::Refuse(const std::string& message) {
    Err << "cuemark-tag: " << message << "\n";
    return ExitUsage;
}

void TTagTool::Fail(const std::string& path, const std::string& reason) {
    Err << "cuemark-tag: " << path << ": " << reason << "\n";
    AnyFailed = true;
}

int TTagTool::Show(const std::vector<std::string>& files) {
    for (const std::string& path : files) {
        TOpenTagFile file(path);
        if (!file.IsOpen()) {
            Fail(path, OpenFailureReason(path));
            continue;
        }
        Out << "== " << path << "\n";
        for (const TTagKeyInfo& key : TTagCatalogue::Keys())
            Out << key.Key << '=' << TValueEscape::Escape(ReadKey(key)) << "\n";
        for (const auto& [name, value] : BroadcastFields())
            Out << name << '=' << TValueEscape::Escape(value) << "\n";
    }
    Out.flush();
    return Result();
}

int TTagTool::Set(const std::string& path, const std::vector<std::string>& assignments) {
    // Everything is checked before the file is opened, so a refused command writes nothing.
    std::vector<std::pair<const TTagKeyInfo*, std::string>> changes;
    for (const std::string& assignment : assignments) {
        const size_t equals = assignment.find('=');
        if (equals == std::string::npos)
            return Usage("set: \"" + assignment + "\" is not KEY=VALUE");
        const std::string keyText = assignment.substr(0, equals);
        const TTagKeyInfo* key = TTagCatalogue::FindKey(keyText);
        if (key == nullptr)
            return Refuse("set: unknown key \"" + keyText + "\" (cuemark-tag --help lists them)");
        std::string value = TValueEscape::Unescape(assignment.substr(equals + 1));
        if (value.size() > MaxValueBytes)
            return Refuse("set: the value of " + keyText + " is longer than 65535 bytes");
        changes.emplace_back(key, std::move(value));
    }

    TOpenTagFile file(path);
    if (!file.IsOpen()) {
        Fail(path, OpenFailureReason(path));
        return Result();
    }
    for (const auto& [key, value] : changes)
        WriteKey(*key, value);
    if (!file.Close()) {
        const std::string reason = LibraryReason();
        Fail(path, "the changes could not be saved" + (reason.empty() ? "" : ": " + reason));
        return Result();
    }
    const auto shortened =
        SplitLines(CopiedText([](char* b, int32_t n) { return GetShortenedFields(b, n); }));
    if (!shortened.empty()) {
        std::string names;
        for (const std::string& name : shortened)
            names += (names.empty() ? "" : ", ") + name;
        Err << "cuemark-tag: " << path << ": warning: the cart chunk holds a shortened copy of "
            << names << " (the keys keep the whole values)\n";
    }
    return Result();
}

int TTagTool::Export(const std::vector<std::string>& paths) {
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        std::error_code ec;
        const fs::file_status status = fs::status(path, ec);
        if (ec || !fs::exists(status)) {
            Fail(path, "no such file or folder");
        } else if (fs::is_directory(status)) {
            std::vector<std::string> found;
            for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
                std::error_code typeError;
                if (it->is_regular_file(typeError) &&
                    TAudioFileRule::IsAudioPath(QByteArray::fromStdString(it->path().string())))
                    found.push_back(it->path().string());
            }
            if (ec)
                Fail(path, "cannot read the folder: " + ec.message());
            std::sort(found.begin(), found.end());
            files.insert(files.end(), found.begin(), found.end());
        } else {
            files.push_back(path);
        }
    }

    // Rows are gathered first: the broadcast columns are those any of the files has.
    std::vector<std::vector<std::string>> rows;
    std::vector<std::map<std::string, std::string>> broadcast;
    std::vector<std::string> broadcastNames;
    for (const std::string& path : files) {
        std::vector<std::string> row(1 + TTagCatalogue::ColumnCount);
        row[0] = path;
        row[TTagCatalogue::FormatColumn] = FormatText(path);
        row[TTagCatalogue::TimeColumn] = LengthText(path);
        std::map<std::string, std::string> stored;
        TOpenTagFile file(path);
        if (file.IsOpen()) {
            for (const TColumnInfo& column : TTagCatalogue::Columns()) {
                if (!column.HasKey())
                    continue;
                std::string text = ReadKey(*TTagCatalogue::FindKey(column.Key));
                if (column.TimeKey != nullptr) {
                    const std::string time = ReadKey(*TTagCatalogue::FindKey(column.TimeKey));
                    if (!time.empty())
                        text += " " + time;
                }
                row[static_cast<size_t>(column.Number)] = std::move(text);
            }
            if (ExportBroadcast) {
                for (auto& [name, value] : BroadcastFields()) {
                    if (std::find(broadcastNames.begin(), broadcastNames.end(), name) ==
                        broadcastNames.end())
                        broadcastNames.push_back(name);
                    stored[name] = std::move(value);
                }
            }
        } else {
            Fail(path, OpenFailureReason(path));
        }
        rows.push_back(std::move(row));
        broadcast.push_back(std::move(stored));
    }

    TCsvWriter csv(Out);
    std::vector<std::string> header{"File"};
    for (const TColumnInfo& column : TTagCatalogue::Columns())
        header.emplace_back(column.CaptionText);
    header.insert(header.end(), broadcastNames.begin(), broadcastNames.end());
    csv.WriteRecord(header);
    for (size_t i = 0; i < rows.size(); ++i) {
        for (const std::string& name : broadcastNames) {
            const auto found = broadcast[i].find(name);
            rows[i].push_back(found == broadcast[i].end() ? std::string() : found->second);
        }
        csv.WriteRecord(rows[i]);
    }
    Out.flush();
    return Result();
}
