// The start-up load of the readout.
#include "probe/probed_load.h"

#include "data/grid_loader.h"

namespace quorlane {

LoadResult LoadInputsWithRange(const InputFiles& inputs, WorkerPool& pool, Grid& grid,
                               DisplaySettings& settings, FieldRange& range) {
    DisplaySettings read;
    LoadResult settingsRead = LoadSettings(read, inputs.settingsPath);
    RangeCollector collector(read);
    PiecesParsed parsed;
    if (settingsRead.ok)
        parsed = [&collector](const Grid& g, size_t first, size_t count) {
            collector.Add(g, first, count);
        };
    LoadResult gridRead = LoadGrid(grid, pool, inputs.gridPath, {}, parsed);
    if (!gridRead.ok) return gridRead;
    if (!settingsRead.ok) return settingsRead;
    settings = read;
    range = collector.Result(grid);
    return gridRead;
}

}  // namespace quorlane
