// What one run is asked to do, as read from the command line: the four
// values of the table and the options that say how and where to write it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace gaussian_noise {

// How each cell's number is written.
enum class CellText {
    general,   // six significant digits, as printf's %g writes them
    lossless,  // the shortest text that reads back as the same float
};

// How the table is written: comma-separated text, or the samples as
// little-endian single-precision values, with (npy) or without (f32) the
// header of NumPy's .npy format.
enum class TableFormat { csv, npy, f32 };

inline constexpr std::string_view defaultTableName = "generated_noise.csv";
// The file each format goes to when no output is named.
constexpr std::string_view defaultTableNameFor(TableFormat format) {
    switch (format) {
        case TableFormat::npy:
            return "generated_noise.npy";
        case TableFormat::f32:
            return "generated_noise.f32";
        case TableFormat::csv:
            break;
    }
    return defaultTableName;
}
// The most threads --threads takes.
inline constexpr unsigned maxThreads = 256;

// Which rows of the table (the one its seed and four values define) a run
// writes: all of them; one part, the parts written one after another being
// the table byte for byte; or a range of rows as a table of its own.
struct Rows {
    enum class Kind { table, part, range };
    Kind kind = Kind::table;
    std::uint32_t part = 1;   // part: `part` of `parts`, from 1
    std::uint32_t parts = 1;  // the rows split as evenly as can be, the longer parts first
    std::int64_t first = 1;   // range: rows `first` .. `last`, counted from 1, both written
    std::int64_t last = 0;
};

struct RunSettings {
    float mean = 0.0F;
    float variance = 0.0F;
    std::int32_t runs = 0;           // rows of the table
    std::int32_t samplesPerRun = 0;  // cells of each row

    std::optional<std::uint32_t> seed;  // the clock's second when empty
    // "-" for standard output. Always followed by a null character, as the
    // file's name is handed to the system: a literal or a command-line argument.
    std::string_view output = defaultTableName;
    bool quiet = false;                     // no echo of the four values
    CellText cellText = CellText::general;  // csv only: binary formats are exact
    TableFormat format = TableFormat::csv;
    bool progress = false;  // report progress on standard error
    unsigned threads = 1;   // that draw the table; 0 for one per processor the process may run on
    Rows rows;
    // A list of the pairs the table throws away, written by an earlier run
    // (listThrownPairs): read instead of scanning for them. Empty for none;
    // else null-terminated, as output is.
    std::string_view thrownPairs;
    bool listThrownPairs = false;  // write that list instead of a table
};

}  // namespace gaussian_noise
