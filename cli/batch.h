#pragma once

// Several modems at once: each unit is opened, used and closed on a thread of
// its own, by its own Session (link, pane, event loop), with at most `jobs`
// running together. While they run the operator sees each unit's step; at the
// end a table on standard error gives each unit's result and time.

#include <chrono>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace modem::cli {

// One modem of a batch.
struct UnitTarget {
    std::string port;                   // what to open: "/dev/ttyACM0", "COM5"
    std::optional<std::string> serial;  // its USB serial number, when known
};

// A unit's name in files: its serial number, or else its port's name without
// the folders ("/dev/ttyACM0" gives "ttyACM0", "/dev/pts/3" gives "pts-3",
// "/tmp/bench/tty0" gives "tty0"),
// with every character that a file name cannot hold replaced by '_'.
[[nodiscard]] std::string unitFileName(const UnitTarget& unit);

enum class UnitStep { Waiting, Connecting, Reading, Writing, Verifying, Storing, Sending, Done };

[[nodiscard]] std::string_view stepName(UnitStep step);

// What a unit's work reports as it goes; called on the unit's own thread.
class UnitSteps {
public:
    virtual ~UnitSteps() = default;
    virtual void step(UnitStep step) = 0;
};

// How a unit ended, for its row of the table.
struct UnitOutcome {
    bool ok = false;
    std::string
        result;  // on one line: why it failed; when it did not, empty ("ok") or what it found
    bool interrupted = false;
};

// The result as its row shows it: "ok", what it found, or "failed: " and why.
[[nodiscard]] std::string shownResult(const UnitOutcome& outcome);

// The first line a unit's work wrote on its own standard error, without the
// program's name: the reason shown in its row ("failed" when it wrote none).
[[nodiscard]] std::string firstFailureLine(std::string_view err);

// The progress of every unit, safe to call from any thread. On a terminal
// one line per unit is redrawn in place (port, serial, step, elapsed time);
// otherwise a line is printed as each step ends.
class ProgressDisplay {
public:
    using Clock = std::chrono::steady_clock;
    enum class Mode { Terminal, Lines };

    ProgressDisplay(std::ostream& err, Mode mode, const std::vector<UnitTarget>& units);

    void step(std::size_t unit, UnitStep step);
    void finished(std::size_t unit, const UnitOutcome& outcome);
    // Redraws the terminal's lines so the elapsed times move on; nothing in Lines mode.
    void tick();
    // Seconds from the unit's start to its end (or to now, while it runs).
    [[nodiscard]] double seconds(std::size_t unit) const;

private:
    struct Row {
        UnitStep step = UnitStep::Waiting;
        std::optional<Clock::time_point> started;
        std::optional<Clock::time_point> stepStarted;
        std::optional<Clock::time_point> ended;
        std::string result;
    };
    [[nodiscard]] std::string label(std::size_t unit) const;
    void redraw();  // m_mutex held

    std::ostream& m_err;
    Mode m_mode;
    std::vector<UnitTarget> m_units;
    std::vector<Row> m_rows;
    bool m_drawn = false;
    mutable std::mutex m_mutex;
};

using UnitWork = std::function<UnitOutcome(std::size_t index, UnitSteps& steps)>;

// Runs `work` for every unit, each on its own thread, at most `jobs` at a time
// (0: all at once); returns each unit's outcome, in the units' order.
[[nodiscard]] std::vector<UnitOutcome> runUnits(std::size_t count, unsigned jobs,
                                                const UnitWork& work, ProgressDisplay& progress);

// The table on standard error: one row per unit with its port, serial number,
// result and seconds.
void printSummary(std::ostream& err, const std::vector<UnitTarget>& units,
                  const std::vector<UnitOutcome>& outcomes, const ProgressDisplay& progress);

// 0 when every unit succeeded, 130 when an interrupt ended any, else 1.
[[nodiscard]] int batchStatus(const std::vector<UnitOutcome>& outcomes);

}  // namespace modem::cli
