#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

struct TLoudness;

// The commands of cuemark-tag: `show`, `set`, `export` and `loudness`. Files are reached only
// through the tagging and playback libraries' C operations; keys, captions and columns come from
// the tag catalogue, so the tool shows exactly what the program's editor and list do.
class TTagTool {
public:
    static constexpr int ExitOk = 0;
    static constexpr int ExitFailed = 1; // some file failed; one line per failure on Err
    static constexpr int ExitUsage = 2;  // wrong usage, explained on Err

    TTagTool(std::ostream& out, std::ostream& err) : Out(out), Err(err) {}

    // args are the command-line arguments after the program name.
    int Run(const std::vector<std::string>& args);

    static const char* UsageText();
    // The usage text followed by the 35 keys with their meanings and stored forms.
    static std::string HelpText();

private:
    // Takes the broadcast options out of args; false (after the usage line) on a bad one.
    bool TakeOptions(std::vector<std::string>& args, int& exitCode);
    int Show(const std::vector<std::string>& files);
    int Set(const std::string& file, const std::vector<std::string>& assignments);
    int Export(const std::vector<std::string>& paths);
    int Loudness(const std::vector<std::string>& files);
    void StoreLoudness(const std::string& file, const TLoudness& loudness);

    int Usage(const std::string& message);
    // Wrong usage that one line explains (a key or value named), without the usage text.
    int Refuse(const std::string& message);
    void Fail(const std::string& path, const std::string& reason);
    int Result() const { return AnyFailed ? ExitFailed : ExitOk; }

    std::ostream& Out;
    std::ostream& Err;
    bool AnyFailed = false;
    // What a save does with the cart chunk (the tagging library's codes) and whether export
    // adds the stored broadcast fields as columns.
    int32_t CartMode = 0;
    int32_t TimerProfile = 0;
    bool ExportBroadcast = false;
    // loudness: store the figures in the files (MPEG files only with WriteReplayGain).
    bool WriteLoudness = false;
    bool WriteReplayGain = false;
};
