#include "files/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

bool isExistingNonRegular(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && !info.isFile() && !info.isDir();
}

std::optional<QString> writeDirectly(const QString &path, const QByteArray &bytes)
{
    QFile device(path);
    if (!device.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return device.errorString();
    if (device.write(bytes) != bytes.size())
        return device.errorString();
    return std::nullopt;
}

} // namespace

std::optional<QString> writeWholeFile(const QString &path, const QByteArray &bytes)
{
    if (isExistingNonRegular(path))
        return writeDirectly(path, bytes);
    QSaveFile file(path);
    // A device is never renamed over; QSaveFile would otherwise fall back to
    // writing a file in place when it cannot make its temporary file.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    // QSaveFile buffers, and its commit() goes on with the rename when the
    // final flush fails (a full disk): flush first, so that such a failure
    // discards the new file instead of replacing the old one with a stump.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

std::optional<QString> checkWritable(const QString &path)
{
    if (isExistingNonRegular(path)) {
        QFile device(path);
        if (!device.open(QIODevice::WriteOnly))
            return device.errorString();
        return std::nullopt;
    }
    if (QFileInfo(path).isDir())
        return QStringLiteral("Is a directory");
    // The temporary file QSaveFile would make, made and thrown away.
    QSaveFile probe(path);
    probe.setDirectWriteFallback(false);
    if (!probe.open(QIODevice::WriteOnly))
        return probe.errorString();
    probe.cancelWriting();
    return std::nullopt;
}

bool isSameFile(const QString &a, const QString &b)
{
    const auto canonical = [](const QString &path) {
        const QFileInfo info(path);
        const QString resolved = info.canonicalFilePath();
        return resolved.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : resolved;
    };
    return canonical(a) == canonical(b);
}
