#pragma once
// The start-up load of the readout: the two files loaded as LoadInputs loads
// them, and the grid's range gathered while its values are parsed.
#include "data/grid.h"
#include "data/inputs.h"
#include "data/load_result.h"
#include "data/settings.h"
#include "probe/field_range.h"

namespace quorlane {

class WorkerPool;

// Gives the grid, the settings and the report that LoadInputs gives (its
// first failure: the grid file's before the settings file's), and with them
// the grid's range. The settings file is read first, so that each piece of
// the grid's values is summarised against the scale on the thread that
// parsed it, while its values are still in the cache.
LoadResult LoadInputsWithRange(const InputFiles& inputs, WorkerPool& pool, Grid& grid,
                               DisplaySettings& settings, FieldRange& range);

}  // namespace quorlane
