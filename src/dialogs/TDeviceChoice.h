#pragma once

#include <QString>
#include <QStringList>

#include <optional>

struct TAudioLibs;
class TRegistryStore;

// Which output device audition uses: the command-line switch "/device:N" wins over
// the broadcast system's registry value, which wins over the program's own; with
// none of them, device 0. Also the device list shown on the About page and the
// storing of the user's pick. Widget-free, so the rules can be tested alone.
class TDeviceChoice {
public:
    static constexpr int NoValue = -2;
    static constexpr int NameBufferSize = 128;

    // The broadcast system's audition device (read only).
    static QString BroadcastKey() {
        return "Software\\VB and VBA Program Settings\\Velmont\\Devices";
    }
    static QString BroadcastValue() { return "AuditionDevice"; }
    // The program's own choice, written on every pick.
    static QString ProgramKey() { return "Software\\QAV\\Cuemark"; }
    static QString ProgramValue() { return "OutputDevice"; }
    // The list's last entry, spelled as the broadcast system shows it.
    static QString WaveMapperName() { return "Automatically Asssigned (Wave Mapper)"; }

    // DeviceIndex at start-up from the registry and the command-line arguments.
    static int Choose(const TRegistryStore& registry, const QStringList& arguments);
    // The number given by the first argument that starts with "/device:" (any case);
    // nothing when there is none or its rest is not one or more decimal digits.
    static std::optional<int> SwitchDevice(const QStringList& arguments);
    // A registry value as a device number; NoValue when missing or not a number.
    static int RegistryNumber(const QString& text);

    // Stores a device picked by the user as the program's "OutputDevice".
    static bool Store(TRegistryStore& registry, int index);

    // The entries of the device list: the library's named devices in its order,
    // then WaveMapperName(). The library's count n includes that last entry.
    static QStringList DeviceNames(const TAudioLibs& libs);
};
