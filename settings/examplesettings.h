#pragma once
// The settings of the repository's sample files (examples/flex.kvr and
// pocsag.kvr), which the fleet demonstration's simulated modules hold too:
// a region's alias list with the standard texts and times.

#include "settings/modulesettings.h"

ModuleSettings flexExample();
ModuleSettings pocsagExample();
