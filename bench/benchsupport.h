#pragma once
// What the benchmarks share: the figures they reduce their samples to, the
// CPU time they read, an event loop that serves their simulated modules
// while they wait, and ser2net on loopback in front of pseudo-terminals.

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>
#include <vector>

#include <sys/time.h>

// The log and backups of every operation a benchmark runs, in its own
// programs and in those it starts, go to a folder of its own that goes
// with it: never into the record of the user who measures.
class OwnDataFolder : public QTemporaryDir {
public:
    OwnDataFolder() { qputenv("KVR7314_DATA_DIR", QFile::encodeName(path())); }
};

// The middle value; NaN for none.
double median(std::vector<double> values);
// This process's CPU time so far.
double processCpuSeconds();
double seconds(const timeval &t);
// Lets the event loop run for `ms`, so the simulated modules go on answering.
void serveFor(int ms);

// Where ser2net is (Debian puts it in /usr/sbin, which a user's PATH may
// leave out); empty when it is not installed.
QString ser2netProgram();
// `ser2net` started with one RFC 2217 connection on a free loopback port in
// front of each of `devices` (pseudo-terminals: the line at 9600 until the
// tool sets it, no lock files, no modem lines), its configuration and log
// in `folder`. The address of each, in order, once all listen; nothing
// (and why on standard error) when it does not come up.
std::optional<QStringList> startSer2net(QProcess &ser2net, const QString &folder, const QStringList &devices);
