#pragma once
// The module whose dump is the largest a KVR7314 can send, for the
// benchmarks that read one back.

#include "settings/modulesettings.h"

// Every text at its 25 characters, every timer at its 4.
ModuleSettings largestModuleSettings();
