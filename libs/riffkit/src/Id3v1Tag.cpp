#include "Id3v1Tag.h"

#include "Id3v1Genres.h"
#include "TextCodec.h"

#include <taglib/id3v1genres.h>

#include <algorithm>
#include <cstring>

namespace riffkit {

namespace {

std::string Field(std::string_view bytes, std::size_t at, std::size_t width) {
    std::string_view field = bytes.substr(at, width);
    field = field.substr(0, std::min(field.find('\0'), field.size()));
    while (!field.empty() && field.back() == ' ')
        field.remove_suffix(1);
    return std::string(field);
}

const char* FieldName(std::string_view key) {
    if (key == "DISP")
        return "title";
    if (key == "IART")
        return "artist";
    if (key == "IALB")
        return "album";
    if (key == "IYER")
        return "year";
    if (key == "IGRE")
        return "genre";
    if (key == "ICMT")
        return "comment";
    if (key == "ITRK")
        return "track";
    return nullptr;
}

// The first character of a UTF-8 text that has no Windows-1252 byte.
std::string FirstUnmappable(const std::string& utf8) {
    for (std::size_t at = 0; at < utf8.size();) {
        std::size_t len = 1;
        const auto lead = static_cast<unsigned char>(utf8[at]);
        if (lead >= 0xF0)
            len = 4;
        else if (lead >= 0xE0)
            len = 3;
        else if (lead >= 0xC0)
            len = 2;
        const std::string one = utf8.substr(at, len);
        if (!TTextCodec::Utf8ToCp1252(one))
            return one;
        at += len;
    }
    return std::string();
}

// "7" or "7/12": the track number an ID3v1.1 byte can hold (1 to 255), 0 for none, -1
// when the text is not such a number.
int TrackNumber(const std::string& text, bool leadingOnly) {
    if (text.empty())
        return 0;
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
        ++digits;
    if (digits == 0 || digits > 3 || (!leadingOnly && digits != text.size()))
        return -1;
    const int number = std::stoi(text.substr(0, digits));
    return number >= 1 && number <= 255 ? number : -1;
}

bool IsYear(const std::string& text) {
    return text.size() == 4 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int GenreNumber(const std::string& name) {
    const int ours = Id3v1Genres::Number(name);
    if (ours >= 0)
        return ours;
    const int theirs = TagLib::ID3v1::genreIndex(TagLib::String(name, TagLib::String::UTF8));
    return theirs >= 0 && theirs < 255 ? theirs : -1;
}

std::string GenreName(int number) {
    const std::string ours = Id3v1Genres::Name(number);
    return ours.empty() ? TagLib::ID3v1::genre(number).to8Bit(true) : ours;
}

} // namespace

std::optional<TId3v1Tag> TId3v1Tag::Parse(std::string_view bytes) {
    if (bytes.size() != Size || bytes.substr(0, 3) != "TAG")
        return std::nullopt;
    TId3v1Tag tag;
    tag.Title = Field(bytes, 3, 30);
    tag.Artist = Field(bytes, 33, 30);
    tag.Album = Field(bytes, 63, 30);
    tag.Year = Field(bytes, 93, 4);
    const bool v11 = bytes[125] == '\0' && bytes[126] != '\0';
    tag.Comment = Field(bytes, 97, v11 ? 28 : 30);
    tag.Track = v11 ? static_cast<unsigned char>(bytes[126]) : 0;
    tag.Genre = static_cast<unsigned char>(bytes[127]);
    return tag;
}

std::string TId3v1Tag::Render() const {
    std::string out(Size, '\0');
    std::memcpy(out.data(), "TAG", 3);
    const auto put = [&out](std::size_t at, const std::string& text, std::size_t width) {
        std::memcpy(out.data() + at, text.data(), std::min(text.size(), width));
    };
    put(3, Title, 30);
    put(33, Artist, 30);
    put(63, Album, 30);
    put(93, Year, 4);
    put(97, Comment, Track ? 28 : 30);
    if (Track)
        out[126] = static_cast<char>(Track);
    out[127] = static_cast<char>(Genre);
    return out;
}

std::string TId3v1Tag::Get(std::string_view key) const {
    if (key == "DISP")
        return TTextCodec::Cp1252ToUtf8(Title);
    if (key == "IART")
        return TTextCodec::Cp1252ToUtf8(Artist);
    if (key == "IALB")
        return TTextCodec::Cp1252ToUtf8(Album);
    if (key == "IYER")
        return IsYear(Year) && Year != "0000" ? Year : std::string();
    if (key == "ICMT")
        return TTextCodec::Cp1252ToUtf8(Comment);
    if (key == "ITRK")
        return Track ? std::to_string(Track) : std::string();
    if (key == "IGRE")
        return Genre == 255 ? std::string() : GenreName(Genre);
    return std::string();
}

bool TId3v1Tag::SetExactly(std::string_view key, const std::string& value, std::string& reason) {
    const char* name = FieldName(key);
    if (!name) {
        reason = "ID3v1 has no field for " + std::string(key);
        return false;
    }
    const std::string prefix = std::string("ID3v1 cannot hold the ") + name + ": ";
    if (key == "IYER") {
        if (!value.empty() && !IsYear(value)) {
            reason = prefix + "\"" + value + "\" is not four digits";
            return false;
        }
        Year = value;
        return true;
    }
    if (key == "ITRK") {
        const int number = TrackNumber(value, false);
        if (number < 0) {
            reason = prefix + "\"" + value + "\" is not a number from 1 to 255";
            return false;
        }
        if (number > 0 && Comment.size() > 28) {
            reason = prefix + "the comment leaves no room for it (more than 28 bytes)";
            return false;
        }
        Track = number;
        return true;
    }
    if (key == "IGRE") {
        const int number = value.empty() ? 255 : GenreNumber(value);
        if (number < 0) {
            reason = prefix + "\"" + value + "\" is not in the genre table";
            return false;
        }
        Genre = number;
        return true;
    }
    const auto bytes = TTextCodec::Utf8ToCp1252(value);
    if (!bytes) {
        reason = prefix + "character '" + FirstUnmappable(value) + "' is not in Windows-1252";
        return false;
    }
    const std::size_t width = key == "ICMT" && Track ? 28 : 30;
    // Trailing blanks are the field's padding to other readers: they are not kept.
    std::string stored = *bytes;
    while (!stored.empty() && stored.back() == ' ')
        stored.pop_back();
    if (stored.size() > width) {
        reason = prefix + "it is longer than " + std::to_string(width) + " bytes";
        return false;
    }
    (key == "DISP" ? Title : key == "IART" ? Artist : key == "IALB" ? Album : Comment) = stored;
    return true;
}

void TId3v1Tag::SetNearest(std::string_view key, const std::string& value) {
    std::string reason;
    if (SetExactly(key, value, reason) || !FieldName(key))
        return;
    if (key == "IYER") {
        // "2004-05-06" keeps its year; other texts leave the field empty.
        const std::string head = value.substr(0, 4);
        Year = IsYear(head) ? head : std::string();
        return;
    }
    if (key == "IGRE") {
        Genre = 255;
        return;
    }
    if (key == "ITRK") {
        // "3/12" keeps 3; the comment gives up its last two bytes for the number.
        Track = std::max(0, TrackNumber(value, true));
        if (Track)
            Comment.resize(std::min<std::size_t>(Comment.size(), 28));
        return;
    }
    // Characters Windows-1252 lacks become '?'; the text is cut to the field.
    std::string bytes;
    for (std::size_t at = 0; at < value.size();) {
        std::size_t len = 1;
        const auto lead = static_cast<unsigned char>(value[at]);
        if (lead >= 0xF0)
            len = 4;
        else if (lead >= 0xE0)
            len = 3;
        else if (lead >= 0xC0)
            len = 2;
        const auto one = TTextCodec::Utf8ToCp1252(value.substr(at, len));
        bytes += one && *one != std::string(1, '\0') ? *one : std::string("?");
        at += len;
    }
    const std::size_t width = key == "ICMT" && Track ? 28 : 30;
    bytes.resize(std::min(bytes.size(), width));
    while (!bytes.empty() && bytes.back() == ' ')
        bytes.pop_back();
    (key == "DISP" ? Title : key == "IART" ? Artist : key == "IALB" ? Album : Comment) = bytes;
}

} // namespace riffkit
