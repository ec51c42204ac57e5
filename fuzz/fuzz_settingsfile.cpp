// Feeds arbitrary bytes to the .kvr reader: whatever a file holds, decoding
// must end without a crash, a hang or undefined behaviour, and a loaded
// result must be applicable to settings.

#include "files/settingsfile.h"

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
    }
    return 0;
}
