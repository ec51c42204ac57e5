// Feeds arbitrary bytes, as the serial line could deliver them, through the
// dump parser and on into a settings record, as the window would apply them.

#include "readback/dumpparser.h"
#include "settings/fieldtable.h"
#include "settings/codec.h"
#include "settings/modulesettings.h"
#include "settings/textrule.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString dump = cp1252::decode(QByteArrayView(data, qsizetype(size)));
    const DumpParse parse = parseModuleDump(dump);
    if (parse.accepted() == !parse.rejection.isEmpty())
        std::abort();   // exactly one of the two

    if (parse.accepted()) {
        // Nothing the text rule refuses ever gets through: no control
        // character can reach the window, a file or the module.
        if (firstTextFault(parse.update->values))
            std::abort();
        const ModuleSettings after = applyUpdate(startupSettings(), *parse.update);
        // Every text within its box.
        for (const SettingsField &field : settingsFields()) {
            if (field.boxLength() > 0 && field.in(after).size() > field.boxLength())
                std::abort();
        }
        if (after.receiverType != ReceiverType::Flex || !colourIndex(after.aliasColour)
            || !speedIndex(after.scrollSpeed))
            std::abort();
    }
    return 0;
}
