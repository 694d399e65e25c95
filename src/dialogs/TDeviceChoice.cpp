#include "TDeviceChoice.h"

#include "TAudioLibs.h"
#include "TRegistryStore.h"

#include <limits>

int TDeviceChoice::RegistryNumber(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? value : NoValue;
}

std::optional<int> TDeviceChoice::SwitchDevice(const QStringList& arguments) {
    const QString prefix = "/device:";
    for (const QString& argument : arguments) {
        const QString lower = argument.toLower();
        if (!lower.startsWith(prefix))
            continue;
        const QString rest = lower.mid(prefix.size());
        if (rest.isEmpty())
            return std::nullopt;
        qint64 value = 0;
        for (const QChar c : rest) {
            if (c < '0' || c > '9')
                return std::nullopt;
            value = value * 10 + (c.unicode() - '0');
            // A number too large for a device index counts as no number.
            if (value > std::numeric_limits<int>::max())
                return std::nullopt;
        }
        return static_cast<int>(value);
    }
    return std::nullopt;
}

int TDeviceChoice::Choose(const TRegistryStore& registry, const QStringList& arguments) {
    int device = RegistryNumber(registry.ReadString(BroadcastKey(), BroadcastValue()));
    if (device == NoValue)
        device = RegistryNumber(registry.ReadString(ProgramKey(), ProgramValue()));
    if (device == NoValue)
        device = 0;
    if (const auto fromSwitch = SwitchDevice(arguments))
        device = *fromSwitch;
    return device;
}

bool TDeviceChoice::Store(TRegistryStore& registry, int index) {
    return registry.WriteString(ProgramKey(), ProgramValue(), QString::number(index));
}

QStringList TDeviceChoice::DeviceNames(const TAudioLibs& libs) {
    QStringList names;
    const int count = libs.SN_GetNumOutputDevices ? libs.SN_GetNumOutputDevices() : 0;
    for (int j = 0; j <= count - 2 && libs.SN_GetOutputDeviceName; ++j) {
        char buffer[NameBufferSize] = {};
        libs.SN_GetOutputDeviceName(static_cast<int16_t>(j), buffer, NameBufferSize);
        buffer[NameBufferSize - 1] = '\0'; // a library that fills the buffer still ends here
        names << QString::fromUtf8(buffer);
    }
    names << WaveMapperName();
    return names;
}
