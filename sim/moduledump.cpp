// Stub until the read-back change fills it in.
#include "sim/moduledump.h"

QByteArray moduleDump(const ModuleSettings &, const QString &) { return {}; }
