#include "cli/batch.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <ostream>
#include <thread>

#include "cli/commands.h"

namespace modem::cli {

namespace {

using namespace std::chrono_literals;

// How often the terminal's lines are redrawn while nothing else happens.
constexpr auto tickPeriod = 1s;

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return text;
}

class ReportingSteps : public UnitSteps {
public:
    ReportingSteps(ProgressDisplay& progress, std::size_t unit)
        : m_progress(progress), m_unit(unit) {}
    void step(UnitStep step) override { m_progress.step(m_unit, step); }

private:
    ProgressDisplay& m_progress;
    std::size_t m_unit;
};

}  // namespace

std::string shownResult(const UnitOutcome& outcome) {
    if (outcome.ok) {
        return outcome.result.empty() ? std::string("ok") : outcome.result;
    }
    return "failed: " + outcome.result;
}

std::string unitFileName(const UnitTarget& unit) {
    std::string name;
    if (unit.serial && !unit.serial->empty()) {
        name = *unit.serial;
    } else {
        // Under /dev the folders say what the port is (pts/3); elsewhere (a
        // link a test or a bench made) the name alone does.
        std::string_view port = unit.port;
        if (port.starts_with("/dev/")) {
            port.remove_prefix(5);
        } else {
            port = port.substr(port.find_last_of("/\\") == std::string_view::npos
                                   ? 0
                                   : port.find_last_of("/\\") + 1);
        }
        name = std::string(port);
        std::replace(name.begin(), name.end(), '/', '-');
    }
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                           (c >= 'a' && c <= 'z') || c == '-' || c == '.' || c == '_';
        if (!plain || byte >= 0x80) {
            c = '_';
        }
    }
    if (name.empty() || name.front() == '.') {
        name.insert(0, "_");
    }
    return name;
}

std::string_view stepName(UnitStep step) {
    switch (step) {
        case UnitStep::Waiting:
            return "waiting";
        case UnitStep::Connecting:
            return "connecting";
        case UnitStep::Reading:
            return "reading";
        case UnitStep::Writing:
            return "writing";
        case UnitStep::Verifying:
            return "verifying";
        case UnitStep::Storing:
            return "storing";
        case UnitStep::Sending:
            return "sending";
        case UnitStep::Done:
            return "done";
    }
    return "?";
}

std::string firstFailureLine(std::string_view err) {
    std::string_view line = err.substr(0, err.find('\n'));
    constexpr std::string_view prefix = "modemctl: ";
    if (line.starts_with(prefix)) {
        line.remove_prefix(prefix.size());
    }
    return line.empty() ? std::string("failed") : std::string(line);
}

ProgressDisplay::ProgressDisplay(std::ostream& err, Mode mode, const std::vector<UnitTarget>& units)
    : m_err(err), m_mode(mode), m_units(units), m_rows(units.size()) {}

std::string ProgressDisplay::label(std::size_t unit) const {
    const UnitTarget& target = m_units.at(unit);
    return target.port + " (" + (target.serial ? "serial " + *target.serial : "no serial") + ")";
}

void ProgressDisplay::step(std::size_t unit, UnitStep step) {
    const std::lock_guard lock(m_mutex);
    Row& row = m_rows.at(unit);
    const auto now = Clock::now();
    if (!row.started) {
        row.started = now;
    }
    if (m_mode == Mode::Lines && row.step != UnitStep::Waiting && row.step != step) {
        const double took = std::chrono::duration<double>(now - *row.stepStarted).count();
        m_err << label(unit) << ": " << stepName(row.step) << " done (" << secondsText(took)
              << " s)\n"
              << std::flush;
    }
    row.step = step;
    row.stepStarted = now;
    if (m_mode == Mode::Terminal) {
        redraw();
    }
}

void ProgressDisplay::finished(std::size_t unit, const UnitOutcome& outcome) {
    const std::lock_guard lock(m_mutex);
    Row& row = m_rows.at(unit);
    const auto now = Clock::now();
    if (!row.started) {
        row.started = now;
    }
    row.ended = now;
    row.result = shownResult(outcome);
    if (m_mode == Mode::Lines && row.step != UnitStep::Waiting) {
        const double took = std::chrono::duration<double>(now - *row.stepStarted).count();
        m_err << label(unit) << ": " << stepName(row.step)
              << (outcome.ok ? " done" : " failed: " + outcome.result) << " (" << secondsText(took)
              << " s)\n"
              << std::flush;
    }
    row.step = UnitStep::Done;
    if (m_mode == Mode::Terminal) {
        redraw();
    }
}

void ProgressDisplay::tick() {
    const std::lock_guard lock(m_mutex);
    if (m_mode == Mode::Terminal) {
        redraw();
    }
}

double ProgressDisplay::seconds(std::size_t unit) const {
    const std::lock_guard lock(m_mutex);
    const Row& row = m_rows.at(unit);
    if (!row.started) {
        return 0.0;
    }
    return std::chrono::duration<double>(row.ended.value_or(Clock::now()) - *row.started).count();
}

void ProgressDisplay::redraw() {
    // Back to the first unit's line, then each line rewritten whole.
    if (m_drawn && !m_rows.empty()) {
        m_err << "\x1b[" << m_rows.size() << 'A';
    }
    const auto now = Clock::now();
    for (std::size_t unit = 0; unit < m_rows.size(); ++unit) {
        const Row& row = m_rows[unit];
        m_err << "\r\x1b[K" << label(unit) << "  ";
        if (row.step == UnitStep::Done) {
            m_err << row.result;
        } else {
            m_err << stepName(row.step);
        }
        if (row.started) {
            const double took =
                std::chrono::duration<double>(row.ended.value_or(now) - *row.started).count();
            m_err << "  " << secondsText(took) << " s";
        }
        m_err << '\n';
    }
    m_err << std::flush;
    m_drawn = true;
}

std::vector<UnitOutcome> runUnits(std::size_t count, unsigned jobs, const UnitWork& work,
                                  ProgressDisplay& progress) {
    std::vector<UnitOutcome> outcomes(count);
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t running = 0;
    std::size_t finished = 0;
    const std::size_t cap = jobs == 0 ? count : std::min<std::size_t>(jobs, count);
    const auto waitFor = [&](std::unique_lock<std::mutex>& lock, const auto& ready) {
        while (!ready()) {
            if (!changed.wait_for(lock, tickPeriod, ready)) {
                lock.unlock();
                progress.tick();
                lock.lock();
            }
        }
    };
    progress.tick();
    std::vector<std::thread> threads;
    threads.reserve(count);
    for (std::size_t unit = 0; unit < count; ++unit) {
        {
            std::unique_lock lock(mutex);
            waitFor(lock, [&] { return running < cap; });
            ++running;
        }
        threads.emplace_back([&, unit] {
            ReportingSteps steps(progress, unit);
            UnitOutcome outcome;
            try {
                outcome = work(unit, steps);
            } catch (const std::exception& e) {
                // One unit's fault is that unit's failure; the others go on.
                outcome = {false, std::string("internal error: ") + e.what(), false};
            }
            progress.finished(unit, outcome);
            {
                const std::lock_guard lock(mutex);
                outcomes[unit] = std::move(outcome);
                --running;
                ++finished;
            }
            changed.notify_all();
        });
    }
    {
        std::unique_lock lock(mutex);
        waitFor(lock, [&] { return finished == count; });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    return outcomes;
}

void printSummary(std::ostream& err, const std::vector<UnitTarget>& units,
                  const std::vector<UnitOutcome>& outcomes, const ProgressDisplay& progress) {
    struct Line {
        std::string port, serial, result, seconds;
    };
    std::vector<Line> lines{{"PORT", "SERIAL", "RESULT", "SECONDS"}};
    for (std::size_t unit = 0; unit < units.size(); ++unit) {
        const UnitOutcome& outcome = outcomes.at(unit);
        lines.push_back({units[unit].port, units[unit].serial.value_or("-"), shownResult(outcome),
                         secondsText(progress.seconds(unit))});
    }
    std::size_t portWidth = 0;
    std::size_t serialWidth = 0;
    std::size_t resultWidth = 0;
    for (const Line& line : lines) {
        portWidth = std::max(portWidth, line.port.size());
        serialWidth = std::max(serialWidth, line.serial.size());
        resultWidth = std::max(resultWidth, line.result.size());
    }
    const auto padded = [](const std::string& text, std::size_t width) {
        return text + std::string(width - text.size() + 2, ' ');
    };
    for (const Line& line : lines) {
        err << padded(line.port, portWidth) << padded(line.serial, serialWidth)
            << padded(line.result, resultWidth) << line.seconds << '\n';
    }
    err << std::flush;
}

int batchStatus(const std::vector<UnitOutcome>& outcomes) {
    if (std::any_of(outcomes.begin(), outcomes.end(),
                    [](const UnitOutcome& o) { return o.interrupted; })) {
        return interruptedStatus;
    }
    return std::all_of(outcomes.begin(), outcomes.end(), [](const UnitOutcome& o) { return o.ok; })
               ? 0
               : 1;
}

}  // namespace modem::cli
