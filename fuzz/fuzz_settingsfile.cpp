// Feeds arbitrary bytes to the .kvr reader: whatever a file holds, decoding
// must end without a crash, a hang or undefined behaviour, and a loaded
// result must be applicable to settings.

#include "files/settingsfile.h"
#include "settings/textrule.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const SettingsFileOutcome outcome = decodeSettingsFile(bytes);
    if (outcome.kind == SettingsFileOutcome::Loaded) {
        const ModuleSettings applied = applyUpdate(startupSettings(), outcome.update);
        if (applied.receiverType != outcome.update.values.receiverType)
            __builtin_trap();  // a loaded file always sets the receiver type
        if (firstTextFault(outcome.update.values))
            __builtin_trap();  // no control character gets in
        // What loads saves again, unless a text holds a key; and what saves
        // opens as it was saved.
        if (!unsaveableSettings(applied)) {
            const QByteArray saved = settingsFileBytes(applied, QString(), QString(), QDateTime(), QString());
            const SettingsFileOutcome again = decodeSettingsFile(saved);
            if (again.kind != SettingsFileOutcome::Loaded
                || applyUpdate(startupSettings(), again.update) != applied)
                __builtin_trap();
        }
    }
    return 0;
}
