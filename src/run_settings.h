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
};

}  // namespace gaussian_noise
