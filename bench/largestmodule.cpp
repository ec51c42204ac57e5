#include "bench/largestmodule.h"

#include "settings/fieldtable.h"

ModuleSettings largestModuleSettings()
{
    ModuleSettings s = startupSettings();
    char16_t letter = u'A';
    for (const SettingsField &field : settingsFields()) {
        if (field.kind == FieldKind::Text)
            field.in(s) = QString(field.boxLength(), QChar(letter++));
        else if (field.kind == FieldKind::Timer)
            field.in(s) = QString(field.boxLength(), u'9');
    }
    return s;
}
