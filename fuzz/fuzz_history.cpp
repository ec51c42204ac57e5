// Feeds arbitrary bytes, as the log of operations could hold them after a
// crash, a full disk, an editor or another program, through the reader
// `history` uses, line by line as readLog goes. No line may crash it, and an
// entry it takes must be one the log can hold: written out again, it reads
// back as the same entry, on one line of its own.

#include "files/operationlog.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// Everything must come back as it was read, but for two things the log
// cannot hold:
// - steps are only a write's: an entry of another operation (steps null)
//   carries none, so a stepsSent without a step count has nowhere to go;
// - the log gives a time's UTC offset in whole minutes (+01:00). A time
//   without an offset is taken as the reader's local time, and some zones'
//   old local mean time was no whole minutes from UTC (Amsterdam until
//   1937: +00:19:32): such a time comes back up to a minute off. The tool
//   itself always writes the offset, so its own lines are not touched.
bool sameEntry(const LogEntry &read, const LogEntry &again)
{
    LogEntry expected = read;
    if (expected.stepCount <= 0) {
        expected.stepsSent = 0;
        expected.stepCount = 0;
    }
    if (expected.time.offsetFromUtc() % 60 != 0 && std::abs(expected.time.secsTo(again.time)) < 60)
        expected.time = again.time;
    return expected == again;
}

void checkLine(QByteArrayView line)
{
    const std::optional<LogEntry> entry = parseLogLine(line);
    if (!entry)
        return;
    const QByteArray written = logLine(*entry);
    // One entry, one line: a cause or a file name with a line end in it
    // must not split the entry, or a reader would lose it as torn.
    if (written.indexOf('\n') != written.size() - 1)
        std::abort();
    const std::optional<LogEntry> again = parseLogLine(written);
    if (!again || !sameEntry(*entry, *again))
        std::abort();
    // Once written by the tool, an entry stays as it is.
    if (logLine(*again) != written)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // As readLog reads the file: each line with its line feed, the last
    // perhaps without (torn by a crash).
    qsizetype from = 0;
    while (from < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', from);
        end = end < 0 ? bytes.size() : end + 1;
        checkLine(bytes.sliced(from, end - from));
        from = end;
    }
    return 0;
}
