#include "demo/demo.h"

#include "files/backups.h"
#include "link/frames.h"

#include <QDir>
#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace {

constexpr int kWindowGap = 12;
// Room for a window manager's frame around a window, and its title bar.
constexpr int kFrameAllowance = 8;
constexpr int kTitleBarAllowance = 32;

} // namespace

ModuleSettings demoModuleSettings()
{
    ModuleSettings settings = withStandardValues(startupSettings());
    const char *aliases[] = {"Brandweer Noord", "Brandweer Zuid", "Ambulance post 3", "Officier van dienst"};
    for (size_t i = 0; i < std::size(aliases); ++i)
        settings.aliases[i] = QString::fromLatin1(aliases[i]);
    settings.aliasColour = QString::fromLatin1(kColourChoices[2].code);   // yellow: the sign shows all three colours
    return settingsAsSent(settings);
}

Demo::Demo(Prompts &prompts, Clock &clock, QObject *parent)
    : QObject(parent), m_prompts(prompts), m_clock(clock)
{
    m_host.module().setStored(demoModuleSettings());
    m_refreshTimer.setInterval(kRefreshMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &Demo::refresh);
    // A call shows at once, not only at the next tick.
    connect(&m_host, &ModuleLine::frameReceived, this, &Demo::refresh);
}

Demo::~Demo() = default;

bool Demo::start()
{
#ifdef Q_OS_WIN
    const QString device = SimulatedLine::description();
    WindowServices services{&m_prompts, &m_clock, [device](int) { return device; }, m_host.portFactory(), {}};
#else
    if (!m_host.open())
        return false;
    const QString device = m_host.devicePath();
    WindowServices services{&m_prompts, &m_clock, [device](int) { return device; }, {}, {}};
#endif
    // A simulated module is no module touched: its backups and log stay
    // apart from the technician's.
    services.dataDirectory = QDir(dataDirectory()).filePath(QStringLiteral("demo"));
    m_window = std::make_unique<MainWindow>(services);
    m_window->installEventFilter(this);
    m_view = std::make_unique<ModuleView>(device);
    m_view->resize(m_view->sizeHint().width(), m_window->height());
    refresh();
    m_refreshTimer.start();
    return true;
}

QString Demo::errorString() const
{
#ifdef Q_OS_WIN
    return {};
#else
    return m_host.errorString();
#endif
}

void Demo::show()
{
    // Side by side on the screen, the module view to the right of the main
    // window, both within the screen so their title bars can be reached.
    // Placed before they are shown: a window's frame is not known earlier,
    // so each gets room for one.
    const QScreen *screen = m_window->screen() ? m_window->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
    const int width = m_window->width() + kFrameAllowance + kWindowGap + m_view->width() + kFrameAllowance;
    const int left = area.left() + std::max(0, (area.width() - width) / 2);
    const int top = area.top() + std::max(0, (area.height() - m_window->height() - kTitleBarAllowance) / 2);
    const int viewLeft = std::min(left + m_window->width() + kFrameAllowance + kWindowGap,
                                  area.right() - m_view->width() - kFrameAllowance);
    m_window->move(left, top);
    m_view->move(std::max(area.left(), viewLeft), top);
    m_window->show();
    m_view->show();
}

void Demo::refresh()
{
    if (!m_view)
        return;
    const SimulatedModule &module = m_host.module();
    m_view->showModule(moduleDisplay(module.stored(), lastCall(module), m_host.elapsedMs()), module.stored());
}

QImage Demo::picture()
{
    const QPixmap window = m_window->grab();
    const QPixmap view = m_view->grab();
    QImage picture(window.width() + kWindowGap + view.width(), std::max(window.height(), view.height()),
                   QImage::Format_RGB32);
    picture.fill(m_window->palette().color(QPalette::Window).darker(115));
    QPainter painter(&picture);
    painter.drawPixmap(0, 0, window);
    painter.drawPixmap(window.width() + kWindowGap, 0, view);
    return picture;
}

bool Demo::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window.get() && event->type() == QEvent::Close && m_view)
        m_view->close();
    return QObject::eventFilter(watched, event);
}
