#pragma once
// Writing the tool's output files so that a write cannot half-happen: the
// .kvr file, the PDF report and the trace's neighbours all go through here.

#include <QByteArray>
#include <QString>

#include <optional>

// Writes `bytes` as the whole content of `path`. A regular file (or a new
// one) is written to a temporary file beside it, flushed and checked, and
// only then renamed over the old one: on any failure the old file keeps its
// content and nothing partial is left. A target that exists and is not a
// regular file (a device such as /dev/null, a pipe) is written directly,
// never renamed over. Nothing when written; else the system's reason.
std::optional<QString> writeWholeFile(const QString &path, const QByteArray &bytes);

// Whether `path` could be written now, found out without changing it: its
// folder exists and takes a new file, or the device opens for writing.
// Nothing when it can; else the system's reason.
std::optional<QString> checkWritable(const QString &path);

// Whether two paths name the same file (after links and "..").
bool isSameFile(const QString &a, const QString &b);
