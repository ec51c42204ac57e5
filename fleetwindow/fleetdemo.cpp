#include "fleetwindow/fleetdemo.h"

#include "files/backups.h"
#include "files/settingsfile.h"
#include "settings/examplesettings.h"

#include <QDir>
#include <QFile>

namespace {

struct DemoModule {
    const char *name;
    const char *port;
    enum { Holds, Differs, Silent } kind;
};

constexpr DemoModule kModules[] = {
    {"Kazerne Noord", "sim:kazerne-noord", DemoModule::Holds},
    {"Kazerne Zuid", "sim:kazerne-zuid", DemoModule::Holds},
    {"Post West", "sim:post-west", DemoModule::Differs},
    {"Kazerne Oost", "sim:kazerne-oost", DemoModule::Holds},
    {"Post Haven", "sim:post-haven", DemoModule::Holds},
    {"Post Duin", "sim:post-duin", DemoModule::Silent},
};

} // namespace

FleetDemo::FleetDemo()
{
    // The region's settings file every module should hold.
    const ModuleSettings region = flexExample();
    QByteArray list = "naam;poort;bestand\r\n";
    for (const DemoModule &m : kModules) {
        auto line = std::make_unique<SimulatedLine>();
        ModuleSettings held = region;
        if (m.kind == DemoModule::Differs) {
            held.aliases[4] = QStringLiteral("Duikploeg");
            held.relayTime = QStringLiteral("30");
        }
        line->module().holdWritten(held);
        line->module().behaviour.answers = m.kind != DemoModule::Silent;
        m_lines[QString::fromLatin1(m.port)] = std::move(line);
        list += QByteArray(m.name) + ';' + m.port + ";regio.kvr\r\n";
    }
    QFile file(m_dir.filePath(QStringLiteral("regio.csv")));
    m_valid = m_dir.isValid() && writeSettingsFile(m_dir.filePath(QStringLiteral("regio.kvr")), region, QDateTime::currentDateTime())
        && file.open(QIODevice::WriteOnly) && file.write(list) == list.size();
}

FleetDemo::~FleetDemo() = default;

QString FleetDemo::listPath() const
{
    return m_dir.filePath(QStringLiteral("regio.csv"));
}

QString FleetDemo::dataFolder()
{
    return QDir(dataDirectory()).filePath(QStringLiteral("demo"));
}

std::function<SerialPortFactory(const FleetModule &module)> FleetDemo::ports()
{
    return [this](const FleetModule &module) -> SerialPortFactory {
        const auto line = m_lines.find(module.port.name());
        if (line == m_lines.end())
            return [] { return std::unique_ptr<SerialPort>(); };
        return line->second->portFactory();
    };
}

SimulatedModule *FleetDemo::module(const QString &port)
{
    const auto line = m_lines.find(port);
    return line == m_lines.end() ? nullptr : &line->second->module();
}
