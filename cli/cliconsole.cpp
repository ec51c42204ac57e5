#include "cli/cliconsole.h"

#include "cli/clicommandtable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSize>

#include <algorithm>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

// Whether the terminal takes the escape sequences that move the cursor up
// and clear a line: Windows' console does once asked to.
bool terminalMovesCursor(std::FILE *stream)
{
#ifdef Q_OS_WIN
    const HANDLE console = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return GetConsoleMode(console, &mode)
        && SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
#else
    Q_UNUSED(stream);
    return qgetenv("TERM") != "dumb";
#endif
}

// The terminal's width in characters and height in lines; 80 and 24 for
// what it does not say.
QSize terminalSize(std::FILE *stream)
{
#ifdef Q_OS_WIN
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE), &info))
        return {info.srWindow.Right - info.srWindow.Left + 1, info.srWindow.Bottom - info.srWindow.Top + 1};
#else
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0)
        return {size.ws_col > 0 ? size.ws_col : 80, size.ws_row > 0 ? size.ws_row : 24};
#endif
    return {80, 24};
}

} // namespace

int CliConsole::blockHeight() const
{
    // A line free for the cursor: a block as high as the terminal scrolls.
    return std::max(terminalSize(m_messages).height() - 1, 3);
}

CliConsole::CliConsole(bool dataOnStandardOutput)
    : m_messages(dataOnStandardOutput ? stderr : stdout),
      m_inPlace(isatty(fileno(m_messages)) == 1),
      m_blockInPlace(m_inPlace && terminalMovesCursor(m_messages))
{
}

CliConsole::~CliConsole()
{
    endProgress();
}

void CliConsole::line(const QString &text)
{
    endProgress();
    m_blockLines = 0;
    std::fputs((text + u'\n').toLocal8Bit().constData(), m_messages);
    std::fflush(m_messages);
}

void CliConsole::progress(const QString &text)
{
    if (!m_inPlace) {
        line(text);
        return;
    }
    // Spaces over what is left of a longer previous text.
    const QString padded = text.leftJustified(m_progressWidth);
    std::fputs((u'\r' + padded).toLocal8Bit().constData(), m_messages);
    std::fflush(m_messages);
    m_progressOpen = true;
    m_progressWidth = text.size();
}

void CliConsole::error(const QString &text)
{
    endProgress();
    m_blockLines = 0;
    std::fflush(stdout);
    std::fputs((kCliErrorPrefix + text + u'\n').toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

void CliConsole::block(const QStringList &lines)
{
    if (!m_blockInPlace)
        return;
    endProgress();
    // A line one short of the width: a full one would wrap on some terminals.
    const int width = std::max(terminalSize(m_messages).width() - 1, 10);
    QByteArray out;
    if (m_blockLines > 0)
        out += "\x1b[" + QByteArray::number(m_blockLines) + 'A';
    for (const QString &text : lines)
        out += "\r\x1b[2K" + text.left(width).toLocal8Bit() + '\n';
    // A block shorter than the one before: its last lines go too.
    out += "\x1b[J";
    std::fputs(out.constData(), m_messages);
    std::fflush(m_messages);
    m_blockLines = lines.size();
}

void CliConsole::data(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

void CliConsole::json(const QJsonValue &value)
{
    data((value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject())).toJson());
}

void CliConsole::endProgress()
{
    if (!m_progressOpen)
        return;
    std::fputs("\n", m_messages);
    std::fflush(m_messages);
    m_progressOpen = false;
    m_progressWidth = 0;
}
