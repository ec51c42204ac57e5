#include "cli/cliconsole.h"

#include "cli/clicommandtable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>


#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

CliConsole::CliConsole(bool dataOnStandardOutput)
    : m_messages(dataOnStandardOutput ? stderr : stdout), m_inPlace(isatty(fileno(m_messages)) == 1)
{
}

CliConsole::~CliConsole()
{
    endProgress();
}

void CliConsole::line(const QString &text)
{
    endProgress();
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
    std::fflush(stdout);
    std::fputs((kCliErrorPrefix + text + u'\n').toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
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
