#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace riffkit {

// The 128-byte ID3v1 (and v1.1) tag at the end of an MPEG file. Text fields hold
// Windows-1252, as the Windows tools of a station write and read them.
class TId3v1Tag {
public:
    static constexpr std::size_t Size = 128;

    // nullopt when the bytes do not start with "TAG".
    static std::optional<TId3v1Tag> Parse(std::string_view bytes);
    std::string Render() const;

    // The value of one of the keys the tag holds ("DISP", "IART", "IALB", "IYER", "IGRE",
    // "ICMT", "ITRK") as UTF-8; "" when empty.
    std::string Get(std::string_view key) const;

    // Stores the value exactly; false, with the reason, when the field cannot hold it
    // (a character outside Windows-1252, too many bytes, a year that is not four digits, a
    // genre not in the table). Keys the tag does not hold are refused too.
    bool SetExactly(std::string_view key, const std::string& value, std::string& reason);
    // Stores as much of the value as the field can hold: for a copy kept in step with an
    // ID3v2 tag, which stays the full record.
    void SetNearest(std::string_view key, const std::string& value);

private:
    std::string Title, Artist, Album, Year, Comment; // stored bytes, no padding
    int Track = 0;                                   // 0: none (v1.0 comment of 30 bytes)
    int Genre = 255;
};

} // namespace riffkit
