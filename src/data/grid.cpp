// Loading "quorlane.dat" into the Grid: four header tokens, then one value
// line per sample, row by row, then the ghost border.
#include "data/grid.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "data/textread.h"

uint32_t QntX = 0;
uint32_t QntY = 0;
uint32_t QntX2 = 0;
uint32_t QntY2 = 0;
float delX = 0.0f;
float delY = 0.0f;
float Xmax = 0.0f;
float Ymax = 0.0f;
float* array = nullptr;

namespace {

const char kCannotOpen[] = "Cannot open \"quorlane.dat\"";
const char kErrorReading[] = "Error reading \"quorlane.dat\"";
const char kBadSize[] = "Invalid grid size in \"quorlane.dat\"";
const char kBadCell[] = "Invalid cell size in \"quorlane.dat\"";
const char kNoMemory[] = "Not enough memory for \"quorlane.dat\"";

StartupResult Fail(const char* message) {
    FreeGrid();
    return StartupFail(message);
}

}  // namespace

void FreeGrid() {
    std::free(array);
    array = nullptr;
    QntX = QntY = QntX2 = QntY2 = 0;
    delX = delY = Xmax = Ymax = 0.0f;
}

StartupResult LoadGridBytes(char* data, size_t n) {
    FreeGrid();
    TextIn in = OpenText(data, n);

    // Header: QntX, QntY, delX, delY, each one token. A token too long for
    // its buffer spoils the value it stands for.
    std::string_view tok[4];
    bool tokOk[4];
    for (int k = 0; k < 4; ++k) {
        TokenRead r = ReadToken(in, tok[k]);
        if (r == TokenRead::End) return Fail(kErrorReading);
        tokOk[k] = r == TokenRead::Ok;
    }
    int32_t nx = tokOk[0] ? IntPrefix(tok[0]) : 0;
    int32_t ny = tokOk[1] ? IntPrefix(tok[1]) : 0;
    float dx = tokOk[2] ? RealPrefix(tok[2]) : 0.0f;
    float dy = tokOk[3] ? RealPrefix(tok[3]) : 0.0f;
    if (nx < 1 || ny < 1) return Fail(kBadSize);
    // The block of 4 × (QntX+2) × (QntY+2) bytes must be sized in 32 bits.
    const uint64_t bytes = 4 * (uint64_t(nx) + 2) * (uint64_t(ny) + 2);
    if (bytes > 0xFFFFFFFFu) return Fail(kBadSize);
    if (!(std::isfinite(dx) && dx > 0.0f) || !(std::isfinite(dy) && dy > 0.0f))
        return Fail(kBadCell);

    QntX = uint32_t(nx);
    QntX2 = QntX + 2;
    QntY = uint32_t(ny);
    QntY2 = QntY + 2;
    delX = dx;
    delY = dy;

    array = static_cast<float*>(std::malloc(size_t(bytes)));
    if (!array) return Fail(kNoMemory);
    Xmax = float(double(QntX) * double(delX));
    Ymax = float(double(QntY) * double(delY));

    // Values: one line read per sample; a line without a number gives 0.
    const uint32_t stride = QntX2;
    for (uint32_t j = 1; j <= QntY; ++j) {
        float* row = array + size_t(j) * stride;
        for (uint32_t i = 1; i <= QntX; ++i) {
            std::string_view line;
            if (!ReadLine(in, line)) return Fail(kErrorReading);
            row[i] = RealPrefix(line);
        }
    }

    // Border: every ghost cell repeats the nearest sample.
    const size_t top = stride, bottom = size_t(QntY) * stride;
    array[0] = array[top + 1];
    array[QntX + 1] = array[top + QntX];
    array[bottom + stride] = array[bottom + 1];
    array[bottom + stride + QntX + 1] = array[bottom + QntX];
    for (uint32_t i = 1; i <= QntX; ++i) {
        array[i] = array[top + i];
        array[bottom + stride + i] = array[bottom + i];
    }
    for (uint32_t j = 1; j <= QntY; ++j) {
        float* row = array + size_t(j) * stride;
        row[0] = row[1];
        row[QntX + 1] = row[QntX];
    }
    return StartupOk();
}

StartupResult LoadGrid(const char* path) {
    FreeGrid();
    std::vector<char> bytes;
    if (!ReadFileBytes(path, bytes)) return Fail(kCannotOpen);
    return LoadGridBytes(bytes.data(), bytes.size());
}
