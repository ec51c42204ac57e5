#include "files/operationlog.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonValue>
#include <QRegularExpression>
#include <QStringList>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

QString textOf(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString();
}

// One write of `bytes` at the end of the file, whatever another program
// appends at the same moment, then synced. Nothing when it is on the disk.
std::optional<QString> appendOnce(const QString &path, const QByteArray &bytes)
{
#ifdef Q_OS_WIN
    // Only the right to append, not to write: Windows then puts every write
    // at the end of the file, as O_APPEND does. (Qt's Append mode seeks to
    // the end and writes, which two programs can interleave.) Wine's append
    // is not atomic, so the write also holds a lock: on one byte far beyond
    // any log's end, as Windows' locks are mandatory and readers must not
    // wait for it.
    const HANDLE file = CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()),
                                    FILE_READ_DATA | FILE_APPEND_DATA | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return qt_error_string(int(GetLastError()));
    OVERLAPPED lockPlace{};
    lockPlace.OffsetHigh = 0x7FFFFFFF;
    const bool locked = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockPlace);
    DWORD written = 0;
    const bool ok = locked && WriteFile(file, bytes.constData(), DWORD(bytes.size()), &written, nullptr)
        && written == DWORD(bytes.size()) && FlushFileBuffers(file);
    const DWORD error = GetLastError();
    if (locked)
        UnlockFileEx(file, 0, 1, 0, &lockPlace);
    CloseHandle(file);
    if (!ok)
        return qt_error_string(int(error));
    return std::nullopt;
#else
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return file.errorString();
    if (file.write(bytes) != bytes.size())
        return file.errorString();
    if (::fsync(file.handle()) != 0)
        return QStringLiteral("the log could not be synced to the disk");
    return std::nullopt;
#endif
}

// Whether the log's last byte ends a line (an empty log does too).
bool endsWithLineFeed(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return true;
    file.seek(file.size() - 1);
    return file.read(1) == "\n";
}

} // namespace

QJsonValue jsonText(const QString &text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QString oneLine(const QString &boxText)
{
    static const QRegularExpression lineEnd(QStringLiteral("[\r\n]+"));
    QStringList parts;
    for (const QString &part : boxText.split(lineEnd)) {
        const QString trimmed = part.trimmed();
        if (!trimmed.isEmpty())
            parts.append(trimmed);
    }
    return parts.join(u' ');
}

QList<LogKey> logKeys()
{
    return {
        {"time", "when the operation started (ISO 8601, with the UTC offset)"},
        {"operation", "write, verify, read, test-call, no-network, save or open"},
        {"program", "kvr7314, kvr7314-cli or kvr7314-demo"},
        {"version", "the program's version"},
        {"port", "the serial device it talked to"},
        {"module", "the module's name in a fleet list (fleet), null for an operation outside a fleet"},
        {"adapter", "the USB adapter's description, as the system reports it"},
        {"serialNumber", "the adapter's serial number"},
        {"firmware", "the firmware version the module reported, when it was read"},
        {"file", "the settings file written, read into, saved or opened, as a whole path"},
        {"backup", "the backup of the settings the operation left in the data folder"},
        {"replaced", "the backup of what the operation replaced: a file, or the window's values"},
        {"outcome", "ok or failed"},
        {"cause", "why it failed"},
        {"stepsSent", "write: how many programming steps went out"},
        {"steps", "write: how many steps a whole write has (26)"},
        {"durationMs", "how long it took, in milliseconds"},
    };
}

QJsonObject logObject(const LogEntry &e)
{
    QJsonObject o;
    o.insert(QStringLiteral("time"), e.time.toOffsetFromUtc(e.time.offsetFromUtc()).toString(Qt::ISODateWithMs));
    o.insert(QStringLiteral("operation"), e.operation);
    o.insert(QStringLiteral("program"), e.program);
    o.insert(QStringLiteral("version"), e.version);
    o.insert(QStringLiteral("port"), jsonText(e.port));
    o.insert(QStringLiteral("module"), jsonText(e.module));
    o.insert(QStringLiteral("adapter"), jsonText(e.adapter));
    o.insert(QStringLiteral("serialNumber"), jsonText(e.serialNumber));
    o.insert(QStringLiteral("firmware"), jsonText(e.firmware));
    o.insert(QStringLiteral("file"), jsonText(e.file));
    o.insert(QStringLiteral("backup"), jsonText(e.backup));
    o.insert(QStringLiteral("replaced"), jsonText(e.replaced));
    o.insert(QStringLiteral("outcome"), e.ok ? QStringLiteral("ok") : QStringLiteral("failed"));
    o.insert(QStringLiteral("cause"), jsonText(e.cause));
    const bool write = e.stepCount > 0;
    o.insert(QStringLiteral("stepsSent"), write ? QJsonValue(e.stepsSent) : QJsonValue(QJsonValue::Null));
    o.insert(QStringLiteral("steps"), write ? QJsonValue(e.stepCount) : QJsonValue(QJsonValue::Null));
    o.insert(QStringLiteral("durationMs"), e.durationMs);
    return o;
}

QByteArray logLine(const LogEntry &entry)
{
    return QJsonDocument(logObject(entry)).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<LogEntry> parseLogLine(QByteArrayView line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject o = document.object();
    LogEntry e;
    e.time = QDateTime::fromString(textOf(o, "time"), Qt::ISODateWithMs);
    e.operation = textOf(o, "operation");
    if (!e.time.isValid() || e.operation.isEmpty())
        return std::nullopt;
    e.program = textOf(o, "program");
    e.version = textOf(o, "version");
    e.port = textOf(o, "port");
    e.module = textOf(o, "module");
    e.adapter = textOf(o, "adapter");
    e.serialNumber = textOf(o, "serialNumber");
    e.firmware = textOf(o, "firmware");
    e.file = textOf(o, "file");
    e.backup = textOf(o, "backup");
    e.replaced = textOf(o, "replaced");
    e.ok = textOf(o, "outcome") == u"ok";
    e.cause = textOf(o, "cause");
    e.stepsSent = o.value(QLatin1String("stepsSent")).toInt(0);
    e.stepCount = o.value(QLatin1String("steps")).toInt(0);
    // A number from another program may be any size: one no duration can
    // be is none.
    const double duration = o.value(QLatin1String("durationMs")).toDouble();
    e.durationMs = duration >= 0 && duration < 1e15 ? qint64(duration) : 0;
    return e;
}

std::optional<QString> appendToLog(const QString &path, const LogEntry &entry)
{
    return appendToLog(path, QList<LogEntry>{entry});
}

std::optional<QString> appendToLog(const QString &path, const QList<LogEntry> &entries)
{
    if (entries.isEmpty())
        return std::nullopt;
    QByteArray lines;
    for (const LogEntry &entry : entries)
        lines += logLine(entry);
    if (!endsWithLineFeed(path))
        lines.prepend('\n');
    return appendOnce(path, lines);
}

QList<LogEntry> readLog(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QFileInfo(path).isFile() ? file.errorString() : QStringLiteral("not a regular file");
        return {};
    }
    // Line by line, however long the log has grown.
    QList<LogEntry> entries;
    while (!file.atEnd()) {
        if (const auto entry = parseLogLine(file.readLine()))
            entries.append(*entry);
    }
    return entries;
}
