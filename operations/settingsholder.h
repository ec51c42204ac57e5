#pragma once
// Where an operation finds the settings it sends and puts the settings it
// reads or opens: the window's controls (each programming step reads them
// as they stand at that moment, and the padded timer texts go back into
// their boxes), or a value of the command line's.

#include "settings/fieldtable.h"
#include "settings/modulesettings.h"

#include <optional>

class SettingsHolder {
public:
    virtual ~SettingsHolder() = default;

    // The settings as they stand now.
    virtual ModuleSettings settings() const = 0;
    // One text, timer or the version into its place.
    virtual void setFieldText(const SettingsField &field, const QString &text) = 0;
    // Every value into its place, as loaded values go in.
    virtual void showSettings(const ModuleSettings &settings) = 0;

    // The values last opened, saved, read or written here. A read that
    // replaces other values than these keeps them as a backup first, so
    // nothing a user typed is lost. Nothing for values that are nobody's.
    std::optional<ModuleSettings> known;
};

// The settings as one value.
class HeldSettings : public SettingsHolder {
public:
    explicit HeldSettings(ModuleSettings settings = startupSettings()) : m_settings(std::move(settings)) {}

    ModuleSettings settings() const override { return m_settings; }
    void setFieldText(const SettingsField &field, const QString &text) override { field.in(m_settings) = text; }
    void showSettings(const ModuleSettings &settings) override { m_settings = settings; }

private:
    ModuleSettings m_settings;
};
