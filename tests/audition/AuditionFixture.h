#pragma once

#include "TAuditionController.h"
#include "TAuditionHost.h"
#include "TMarkerEditor.h"
#include "TScriptedAudioLibs.h"
#include "TScriptedMessages.h"

#include <gtest/gtest.h>

#include <string>

// The window's shared state and a scripted playback library, for the transport and
// marker rules without widgets.
class TAuditionFixture : public ::testing::Test {
protected:
    static constexpr const char* File = "/music/take.wav";
    static constexpr int Device = 3;

    TScriptedAudioLibs Libs;
    TScriptedMessages Boxes;
    TMarkerModel Markers;
    uint32_t PlayHandle = 0;
    bool ToneMode = true;
    bool UseCodec = false;
    int Edits = 0; // MarkersEdited calls

    TAuditionHost Host{Markers,
                       PlayHandle,
                       ToneMode,
                       [] { return QByteArray(File); },
                       [] { return Device; },
                       [this] { return UseCodec; },
                       [this] { ++Edits; },
                       {},
                       {},
                       {}};

    // A file of lengthMs loaded: read-outs, scale, thumb at 0, no calls recorded yet.
    void Load(TAuditionController& audition, uint32_t lengthMs) {
        Markers.LengthMs = lengthMs;
        audition.ShowLength();
        audition.ResetTrackBar();
        Libs.Calls.clear();
    }

    // The SN_PlayStartXY calls made so far.
    std::vector<std::string> Starts() const {
        std::vector<std::string> starts;
        for (const std::string& call : Libs.Calls)
            if (call.rfind("SN_PlayStartXY", 0) == 0)
                starts.push_back(call);
        return starts;
    }
    std::string LastStart() const {
        const auto starts = Starts();
        return starts.empty() ? std::string() : starts.back();
    }
};
