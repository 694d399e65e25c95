#include "TagTool.h"

#include "CsvWriter.h"
#include "TAudioFileRule.h"
#include "TagCatalogue.h"
#include "TextForms.h"
#include "ValueEscape.h"

#include <riffkit.h>
#include <sonara.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
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
           "       cuemark-tag export PATH...\n"
           "       cuemark-tag --help | --version\n"
           "\n"
           "show    prints KEY=VALUE for all 35 keys of each file, after a line \"== FILE\"\n"
           "set     sets the keys in one write; KEY= removes the key (DISP= empties the title)\n"
           "export  writes CSV of the files given and of the .wav, .mp2 and .mp3 files in the\n"
           "        folders given (not recursive); a text cell that a spreadsheet would take\n"
           "        for a formula starts with an apostrophe\n"
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

int TTagTool::Run(const std::vector<std::string>& args) {
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
    return Usage("unknown command \"" + command + "\"");
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

    TCsvWriter csv(Out);
    std::vector<std::string> header{"File"};
    for (const TColumnInfo& column : TTagCatalogue::Columns())
        header.emplace_back(column.CaptionText);
    csv.WriteRecord(header);

    for (const std::string& path : files) {
        std::vector<std::string> row(1 + TTagCatalogue::ColumnCount);
        row[0] = path;
        row[TTagCatalogue::FormatColumn] = FormatText(path);
        row[TTagCatalogue::TimeColumn] = LengthText(path);
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
        } else {
            Fail(path, OpenFailureReason(path));
        }
        csv.WriteRecord(row);
    }
    Out.flush();
    return Result();
}
