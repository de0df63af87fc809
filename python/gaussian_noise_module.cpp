// The Python module gaussian_noise: the tool's tables as numpy arrays and as
// the files the command line writes, from the same code.
//
// Each call reads its values as the command line reads them (it builds the
// arguments the command line would get, so that a value is refused with the
// command line's own words), then runs the table with Python's lock
// released. Calls take turns: the table's threads, the C library's rand()
// and the output's buffer are the process's. Between blocks the calling
// thread takes the lock back for a moment to see whether a signal (Ctrl-C)
// came; one that did stops the table.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/command_line.h"
#include "cli/messages.h"
#include "draws/rand_sequence.h"
#include "draws/run_start.h"
#include "draws/thrown_pair_list.h"
#include "io/output.h"
#include "table/table_writer.h"

namespace py = pybind11;
using namespace gaussian_noise;  // NOLINT(google-build-using-namespace): this file is the tool's to Python

static_assert(std::endian::native == std::endian::little,
              "f32 tables are numpy's float32 only where it is little-endian");

namespace {

std::mutex oneCallAtATime;

// The options of a call, as the command line would be given them.
struct Options {
    std::optional<std::string> rows;  // as --rows takes it: "FIRST-LAST" or "FIRST-"
    std::optional<std::string> part;  // "K/N"
    std::optional<std::string> thrownPairs;
};

// The arguments of the command line and what it read from them; the
// settings point into the arguments, which live as long as this does.
class Call {
public:
    explicit Call(std::vector<std::string> arguments) : arguments_(std::move(arguments)) {
        pointers_.reserve(arguments_.size());
        std::transform(arguments_.begin(), arguments_.end(), std::back_inserter(pointers_),
                       [](std::string& argument) { return argument.data(); });
        line_ = parseCommandLine(pointers_);
        if (line_.action != Action::run) throw py::value_error(std::string(line_.error.text()));
        if (line_.notNumbers != 0) throw py::value_error("a value is not wholly a number");
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
    Call(Call&&) = delete;
    Call& operator=(Call&&) = delete;
    ~Call() = default;

    [[nodiscard]] const RunSettings& settings() const noexcept { return line_.settings; }

private:
    std::vector<std::string> arguments_;
    std::vector<char*> pointers_;
    CommandLine line_;
};

// A number's text as the command line would take it: Python's repr of a
// float gives the same double back, which the command line reads like atof.
std::string numberText(const py::handle& value) { return py::repr(value).cast<std::string>(); }

// The four values and the options: integers as Python writes them, so
// that one out of range is refused by the command line's own check.
struct Values {
    double mean = 0.0;
    double variance = 0.0;
    py::int_ runs;
    py::int_ samples;
    py::int_ seed;
    py::int_ threads;
};

std::vector<std::string> argumentsOf(std::string_view format, const Values& values, const Options& options) {
    std::vector<std::string> arguments{"-q", "--format=" + std::string(format), "--seed=" + numberText(values.seed),
                                       "--threads=" + numberText(values.threads)};
    if (options.rows) arguments.push_back("--rows=" + *options.rows);
    if (options.part) arguments.push_back("--part=" + *options.part);
    if (options.thrownPairs) arguments.push_back("--thrown-pairs=" + *options.thrownPairs);
    arguments.insert(arguments.end(),
                     {"--", numberText(py::float_(values.mean)), numberText(py::float_(values.variance)),
                      numberText(values.runs), numberText(values.samples)});
    return arguments;
}

// Reports and warnings kept rather than written to standard error, while a
// Redirected lives; warn() then hands the warnings to Python's warnings.
class KeptReports {
public:
    KeptReports() = default;
    KeptReports(const KeptReports&) = delete;
    KeptReports& operator=(const KeptReports&) = delete;
    KeptReports(KeptReports&&) = delete;
    KeptReports& operator=(KeptReports&&) = delete;
    ~KeptReports() = default;

    // The last error reported, or empty.
    [[nodiscard]] const std::string& error() const noexcept { return error_; }
    // Issues the warnings as RuntimeWarning; needs Python's lock.
    void warn() const {
        for (const std::string& warning : warnings_) {
            if (PyErr_WarnEx(PyExc_RuntimeWarning, warning.c_str(), 1) != 0) throw py::error_already_set();
        }
    }

    // Sends the reports here while it lives; taken with the call's turn,
    // for the reports' destination is the process's.
    class Redirected {
    public:
        explicit Redirected(KeptReports& reports) noexcept { redirectReports(reports.sink_); }
        Redirected(const Redirected&) = delete;
        Redirected& operator=(const Redirected&) = delete;
        Redirected(Redirected&&) = delete;
        Redirected& operator=(Redirected&&) = delete;
        ~Redirected() { redirectReports({}); }
    };

private:
    std::string error_;
    std::vector<std::string> warnings_;
    std::function<void(std::string_view, std::string_view)> keep_ = [this](std::string_view kind,
                                                                           std::string_view message) {
        try {
            (kind.empty() ? error_ : warnings_.emplace_back()) = std::string(message);
        } catch (...) {  // NOLINT(bugprone-empty-catch): a report that cannot be kept is lost, never thrown
        }
    };
    ReportSink sink_ = keep_;
};

// Whether a signal came, with Python's lock taken for a moment: EINTR that
// stops the table where one did (Python's error is then set).
int signalCame() noexcept {
    const PyGILState_STATE state = PyGILState_Ensure();
    const int error = PyErr_CheckSignals() == 0 ? 0 : EINTR;
    PyGILState_Release(state);
    return error;
}

// After a call: raises the signal's exception where one stopped it, and
// issues the warnings. Where the call failed, raises MemoryError for ENOMEM,
// OSError for the errno `error` of the file `name`, and else ValueError
// with what was reported (a list of thrown pairs that cannot be used).
void finish(const KeptReports& reports, bool done, int error, const std::string& name = {}) {
    if (PyErr_Occurred() != nullptr) throw py::error_already_set();
    reports.warn();
    if (done) return;
    if (error == ENOMEM) throw std::bad_alloc();
    if (error != 0 && !name.empty()) {
        errno = error;
        PyErr_SetFromErrnoWithFilename(PyExc_OSError, name.c_str());
        throw py::error_already_set();
    }
    throw py::value_error(reports.error().empty() ? std::string(std::strerror(error)) : reports.error());
}

// The two integers of `pair` (the second may be None where `open`) as
// text joined by `separator`.
std::string pairText(const py::object& pair, const char* what, const char* separator, bool open) {
    const auto isInteger = [](const py::handle& value) {
        return py::isinstance<py::int_>(value) && !py::isinstance<py::bool_>(value);
    };
    if (py::isinstance<py::sequence>(pair) && !py::isinstance<py::str>(pair) && py::len(pair) == 2) {
        const auto values = py::reinterpret_borrow<py::sequence>(pair);
        const py::object first = values[0];
        const py::object second = values[1];
        if (isInteger(first) && (isInteger(second) || (open && second.is_none()))) {
            return numberText(first) + separator + (second.is_none() ? "" : numberText(second));
        }
    }
    throw py::type_error(std::string(what) + " must be a pair of integers" + (open ? ", the second may be None" : ""));
}

// A path as the system takes it; one with a null character would name
// another file, and is refused as Python's open() refuses it.
std::string pathOf(const py::object& path) {
    auto name = py::module_::import("os").attr("fspath")(path).cast<std::string>();
    if (name.find('\0') != std::string::npos) throw py::value_error("embedded null byte");
    return name;
}

Options optionsOf(const py::object& rows, const py::object& part, const py::object& thrownPairs) {
    Options options;
    if (!rows.is_none()) options.rows = pairText(rows, "rows", "-", true);
    if (!part.is_none()) options.part = pairText(part, "part", "/", false);
    if (!thrownPairs.is_none()) options.thrownPairs = pathOf(thrownPairs);
    return options;
}

// Runs `work` with Python's lock released, in the call's turn, its reports kept.
template <class Work>
void inTurn(KeptReports& reports, const Work& work) {
    const py::gil_scoped_release unlocked;
    const std::lock_guard<std::mutex> turn(oneCallAtATime);
    const KeptReports::Redirected redirected(reports);
    work();
}

using FloatArray = py::array_t<float, py::array::c_style>;

py::object table(double mean, double variance, const py::int_& runs, const py::int_& samples, const py::int_& seed,
                 const py::int_& threads, const py::object& rows, const py::object& part, const py::object& thrownPairs,
                 const py::object& out) {
    const Call call(
        argumentsOf("f32", {mean, variance, runs, samples, seed, threads}, optionsOf(rows, part, thrownPairs)));
    const RunSettings& settings = call.settings();
    const std::vector<py::ssize_t> shape{runRows(settings).count, std::max(settings.samplesPerRun, 0)};

    py::object result = out;
    py::array array;
    if (out.is_none()) {
        array = FloatArray(shape);
        result = array;
    } else {
        if (!py::isinstance<FloatArray>(out)) throw py::type_error("out must be a C-contiguous float32 array");
        array = py::reinterpret_borrow<py::array>(out);
        if (!array.writeable()) throw py::value_error("out is read-only");
        if (array.ndim() != 2 || array.shape(0) != shape[0] || array.shape(1) != shape[1]) {
            throw py::value_error("out must have the shape (" + std::to_string(shape[0]) + ", " +
                                  std::to_string(shape[1]) + ")");
        }
    }
    const auto size = static_cast<std::size_t>(array.nbytes());
    char* const bytes = size == 0 ? nullptr : static_cast<char*>(array.mutable_data());

    KeptReports reports;
    int failure = 0;
    bool written = false;
    inTurn(reports, [&] {
        if (const std::optional<std::uint64_t> firstPair = firstPairOf(settings, *settings.seed)) {
            std::size_t filled = 0;
            const auto sink = [&](std::string_view block) {
                if (block.size() > size - filled) return EFBIG;  // more than the table: never
                if (!block.empty()) std::memcpy(bytes + filled, block.data(), block.size());
                filled += block.size();
                return signalCame();
            };
            std::vector<char> buffer(std::size_t{1} << 20);
            BlockWriter writer(sink, buffer);
            written = writeTable(writer, settings, *settings.seed, *firstPair) && filled == size;
            failure = writer.error();
        }
    });
    finish(reports, written, failure);
    return result;
}

void writeFile(const py::object& path, double mean, double variance, const py::int_& runs, const py::int_& samples,
               const py::int_& seed, const std::string& format, bool lossless, const py::int_& threads,
               const py::object& rows, const py::object& part, const py::object& thrownPairs) {
    const std::string name = pathOf(path);
    std::vector<std::string> arguments =
        argumentsOf(format, {mean, variance, runs, samples, seed, threads}, optionsOf(rows, part, thrownPairs));
    if (lossless) arguments.insert(arguments.begin(), "--lossless");
    arguments.insert(arguments.begin(), "--output=" + name);
    const Call call(std::move(arguments));
    const RunSettings& settings = call.settings();

    KeptReports reports;
    int failure = 0;
    bool written = false;
    inTurn(reports, [&] {
        if (const std::optional<std::uint64_t> firstPair = firstPairOf(settings, *settings.seed)) {
            const auto writeRows = [&](BlockWriter& out, int /*fd*/) {
                return writeTable(out, settings, *settings.seed, *firstPair);
            };
            const auto afterBlock = [] { return signalCame(); };
            written = writeToOutput(settings.output, writeRows, afterBlock, &failure);
        }
    });
    finish(reports, written, failure, name);
}

std::string thrownPairs(const py::int_& seed, const py::int_& runs, const py::int_& samples, const py::int_& threads) {
    const Call call(argumentsOf("csv", {0.0, 1.0, runs, samples, seed, threads}, {}));
    const RunSettings& settings = call.settings();
    KeptReports reports;
    std::string list;
    int failure = 0;
    bool written = false;
    inTurn(reports, [&] {
        if (!CLibraryRand(*settings.seed).followsSequence()) {
            report("rand() here is not the C library sequence the tool can scan; no list of thrown pairs");
        } else {
            const auto sink = [&](std::string_view block) {
                try {
                    list += block;
                } catch (const std::bad_alloc&) {
                    return ENOMEM;
                }
                return signalCame();
            };
            std::vector<char> buffer(std::size_t{1} << 16);
            BlockWriter writer(sink, buffer);
            written =
                writeThrownPairList(writer, *settings.seed, tableCellCount(settings), drawingThreads(settings), {}) &&
                writer.flush();
            failure = writer.error();
        }
    });
    finish(reports, written, failure);
    return list;
}

}  // namespace

PYBIND11_MODULE(gaussian_noise, module) {
    module.doc() =
        "Tables of Gaussian pseudo-random noise: the tables the gaussian_noise command\n"
        "writes, as numpy arrays or as its files, byte for byte.\n"
        "\n"
        "Each sample is drawn by the Box-Muller transform from the C library's rand()\n"
        "after srand(seed). The table of a seed is the same for every thread count,\n"
        "and any rows of it can be had on their own (rows=, part=).";
    module.attr("__version__") = GAUSSIAN_NOISE_VERSION;

    using py::arg;
    module.def(
        "table", &table, arg("mean"), arg("variance"), arg("runs"), arg("samples"), py::kw_only(), arg("seed"),
        arg("threads") = 1, arg("rows") = py::none(), arg("part") = py::none(), arg("thrown_pairs") = py::none(),
        arg("out") = py::none(),
        R"(table(mean, variance, runs, samples, *, seed, threads=1, rows=None, part=None, thrown_pairs=None, out=None)

Returns the table of `runs` rows of `samples` cells as a C-ordered float32
array of shape (rows, samples): the samples of

    gaussian_noise --format=f32 --seed=SEED MEAN VARIANCE RUNS SAMPLES

in that order, bit for bit. seed (0 to 4294967295) is required: the array
does not record it, and a table is only worth having where it can be made
again (pass int(time.time()) for the command line's default). threads: the
threads that draw it (0: one per processor); the table is the same for all.
rows=(first, last): rows first to last, counted from 1, both included
(last None for the end), as --rows. part=(k, n): part k of n, as --part.
thrown_pairs: the path of a list written by thrown_pairs() or
--list-thrown-pairs, read instead of scanning the draws before the first row.
out: a writable C-contiguous float32 array of that shape (a numpy.memmap too)
to fill instead of a new one; it is returned.

Values are checked as the command line checks them (ValueError with its
words). Python's lock is released while the table is drawn; Ctrl-C stops it
within a block and raises KeyboardInterrupt, leaving `out` partly filled.)");
    module.def(
        "write", &writeFile, arg("path"), arg("mean"), arg("variance"), arg("runs"), arg("samples"), py::kw_only(),
        arg("seed"), arg("format") = "csv", arg("lossless") = false, arg("threads") = 1, arg("rows") = py::none(),
        arg("part") = py::none(), arg("thrown_pairs") = py::none(),
        R"(write(path, mean, variance, runs, samples, *, seed, format="csv", lossless=False, threads=1, rows=None, part=None, thrown_pairs=None)

Writes to `path` the file that

    gaussian_noise --seed=SEED --format=FORMAT -o PATH MEAN VARIANCE RUNS SAMPLES

writes, byte for byte, with --lossless, --threads, --rows, --part and
--thrown-pairs as table() takes them; format is "csv", "npy" or "f32".
Values are checked as the command line checks them (ValueError); a file that
cannot be opened, written or closed raises OSError with its errno and name,
and leaves what the command line would leave (a prefix of the table).
Ctrl-C stops the writes within a block and raises KeyboardInterrupt.)");
    module.def("thrown_pairs", &thrownPairs, arg("seed"), arg("runs"), arg("samples"), py::kw_only(),
               arg("threads") = 1,
               R"(thrown_pairs(seed, runs, samples, *, threads=1)

Returns, as text, the list of the pairs of draws the table of `seed`, `runs`
rows and `samples` cells throws away: what

    gaussian_noise --list-thrown-pairs --seed=SEED 0 1 RUNS SAMPLES

writes. Saved to a file and passed as thrown_pairs= to table() or write(), it
spares each slice of the table the scan of the draws before its first row.)");
}
