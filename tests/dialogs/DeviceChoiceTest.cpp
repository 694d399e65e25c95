// The choice of the audition output device from the registry and the command line,
// the storing of a pick, and the device list read from the playback library.

#include "TAudioLibs.h"
#include "TDeviceChoice.h"
#include "TRegistryStore.h"
#include "TScriptedAudioLibs.h"
#include "TempDir.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstring>

// Readable failure output for texts.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

struct TChoiceCase {
    const char* Name;
    const char* Broadcast; // "AuditionDevice"; nullptr: absent
    const char* Program;   // "OutputDevice"; nullptr: absent
    QStringList Arguments;
    int Expected;
};

TEST(DeviceChoice, SwitchThenBroadcastSystemThenProgramThenZero) {
    const std::vector<TChoiceCase> cases = {
        {"nothing set", nullptr, nullptr, {}, 0},
        {"program value", nullptr, "2", {}, 2},
        {"broadcast value", "3", nullptr, {}, 3},
        {"broadcast wins over program", "3", "2", {}, 3},
        {"broadcast -2 counts as absent", "-2", "5", {}, 5},
        {"non-numeric broadcast reads as absent", "Speakers", "5", {}, 5},
        {"empty broadcast reads as absent", "", "5", {}, 5},
        {"non-numeric program gives 0", nullptr, "x1", {}, 0},
        {"other negative numbers are kept", "-1", "5", {}, -1},
        {"switch wins over both", "3", "2", {"/device:4"}, 4},
        {"switch in any case", "3", nullptr, {"/DEVICE:7"}, 7},
        {"switch after the file", nullptr, nullptr, {"/tmp/a.wav", "/Device:12"}, 12},
        {"switch with leading zeros", nullptr, nullptr, {"/device:007"}, 7},
        {"switch without a number", "3", nullptr, {"/device:"}, 3},
        {"switch with a minus sign", "3", nullptr, {"/device:-1"}, 3},
        {"switch with trailing text", "3", nullptr, {"/device:2x"}, 3},
        {"first switch ends the search", "3", nullptr, {"/device:x", "/device:5"}, 3},
        {"switch too large for a number", "3", nullptr, {"/device:99999999999"}, 3},
        {"longer word is no switch", "3", nullptr, {"/devices:5"}, 3},
        {"switch must lead the argument", "3", nullptr, {"x/device:5"}, 3},
    };
    for (const TChoiceCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempDir dir;
        TRegistryStore registry(QString::fromStdString(dir.File("registry.reg")));
        if (c.Broadcast) {
            ASSERT_TRUE(registry.WriteString(TDeviceChoice::BroadcastKey(),
                                             TDeviceChoice::BroadcastValue(), c.Broadcast));
        }
        if (c.Program) {
            ASSERT_TRUE(registry.WriteString(TDeviceChoice::ProgramKey(),
                                             TDeviceChoice::ProgramValue(), c.Program));
        }
        EXPECT_EQ(TDeviceChoice::Choose(registry, c.Arguments), c.Expected);
    }
}

TEST(DeviceChoice, RegistryValuesUseTheBroadcastSystemsKeyPaths) {
    TTempDir dir;
    TRegistryStore registry(QString::fromStdString(dir.File("registry.reg")));
    // As exported from a station: keys taken from the root, any letter case.
    ASSERT_TRUE(registry.WriteString("\\Software\\VB and VBA Program Settings\\Velmont\\DEVICES",
                                     "AuditionDevice", "6"));
    EXPECT_EQ(TDeviceChoice::Choose(registry, {}), 6);
    ASSERT_TRUE(registry.WriteString("Software\\VB and VBA Program Settings\\Velmont\\Devices",
                                     "AuditionDevice", ""));
    ASSERT_TRUE(registry.WriteString("\\Software\\QAV\\Cuemark", "OutputDevice", "4"));
    EXPECT_EQ(TDeviceChoice::Choose(registry, {}), 4);
}

TEST(DeviceChoice, APickIsStoredButTheBroadcastSystemWinsAtTheNextStart) {
    TTempDir dir;
    TRegistryStore registry(QString::fromStdString(dir.File("registry.reg")));
    ASSERT_TRUE(TDeviceChoice::Store(registry, 2));
    EXPECT_EQ(registry.ReadString("Software\\QAV\\Cuemark", "OutputDevice"), "2");
    EXPECT_EQ(TDeviceChoice::Choose(registry, {}), 2);

    ASSERT_TRUE(
        registry.WriteString(TDeviceChoice::BroadcastKey(), TDeviceChoice::BroadcastValue(), "1"));
    ASSERT_TRUE(TDeviceChoice::Store(registry, 3));
    EXPECT_EQ(registry.ReadString("Software\\QAV\\Cuemark", "OutputDevice"), "3");
    EXPECT_EQ(TDeviceChoice::Choose(registry, {}), 1);
}

TEST(DeviceChoice, DeviceListEndsWithTheWaveMapper) {
    const QString mapper = "Automatically Asssigned (Wave Mapper)";
    ASSERT_EQ(TDeviceChoice::WaveMapperName(), mapper);
    TScriptedAudioLibs libs;
    libs.DeviceNames = {"Built-in Audio", "USB Headset \xC3\xA9"};
    EXPECT_EQ(TDeviceChoice::DeviceNames(AudioLibs()),
              QStringList({"Built-in Audio", "USB Headset \u00e9", mapper}));
    // The library's count includes the last entry: n = 2 names one device.
    libs.NumOutputDevices = 2;
    EXPECT_EQ(TDeviceChoice::DeviceNames(AudioLibs()), QStringList({"Built-in Audio", mapper}));
    for (int16_t n : {1, 0}) {
        SCOPED_TRACE(n);
        libs.NumOutputDevices = n;
        EXPECT_EQ(TDeviceChoice::DeviceNames(AudioLibs()), QStringList({mapper}));
    }
}

TEST(DeviceChoice, BadLibraryAnswersAreContained) {
    TAudioLibs libs;
    libs.SN_GetNumOutputDevices = [] { return int16_t(2); };
    libs.SN_GetOutputDeviceName = [](int16_t, char* buffer, int32_t size) {
        std::memset(buffer, 'x', size); // no terminating NUL
        return int16_t(1);
    };
    const QStringList names = TDeviceChoice::DeviceNames(libs);
    ASSERT_EQ(names.size(), 2);
    EXPECT_EQ(names[0], QString(TDeviceChoice::NameBufferSize - 1, 'x'));
    // A negative count, and an unbound table, give only the last entry.
    libs.SN_GetNumOutputDevices = [] { return int16_t(-3); };
    EXPECT_EQ(TDeviceChoice::DeviceNames(libs), QStringList({TDeviceChoice::WaveMapperName()}));
    EXPECT_EQ(TDeviceChoice::DeviceNames(TAudioLibs{}),
              QStringList({TDeviceChoice::WaveMapperName()}));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
