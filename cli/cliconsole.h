#pragma once
// Where kvr7314-cli's lines go. Messages and progress go to standard output,
// or to standard error when standard output carries a file (read without -o);
// errors always go to standard error, one line each, after the program name.
// On a terminal a progress line is rewritten in place; otherwise each
// progress report is a line of its own, so logs stay readable.

#include "files/operationlog.h"
#include "operations/outcome.h"

#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <cstdio>

class CliConsole {
public:
    explicit CliConsole(bool dataOnStandardOutput = false);
    ~CliConsole();

    void line(const QString &text);
    void progress(const QString &text);
    void error(const QString &text);

    // Raw bytes on standard output (a .kvr file keeps its Windows-1252 bytes).
    void data(const QByteArray &bytes);
    // A JSON object or array on standard output (--json).
    void json(const QJsonValue &value);

    // Lines that stand for things under way (a line per module of a
    // fleet): on a terminal drawn over the block drawn last, each cut to
    // the terminal's width; elsewhere nothing, as their events are lines
    // of their own. A line or an error ends the block.
    void block(const QStringList &lines);
    bool blockInPlace() const { return m_blockInPlace; }
    // The most lines a block may have and still be drawn over.
    int blockHeight() const;

    bool progressInPlace() const { return m_inPlace; }

private:
    void endProgress();

    std::FILE *m_messages;
    bool m_inPlace;
    bool m_blockInPlace;
    qsizetype m_blockLines = 0;
    bool m_progressOpen = false;
    qsizetype m_progressWidth = 0;
};


