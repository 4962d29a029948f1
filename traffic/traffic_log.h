#pragma once

// The traffic log: every write, the modem's output line by line, and every
// status line, appended to a file (format in traffic_format.h). Recording only
// copies the bytes into memory; a writer thread of the log's own gathers the
// modem's output into lines, formats the entries and writes them out in
// batches, so the receive thread never waits for the disk.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "link/link.h"
#include "traffic/line_gatherer.h"
#include "traffic/traffic_format.h"

namespace modem {

struct TrafficLogOptions {
    // Bytes recorded but not yet written beyond which further bursts are left
    // out (and counted in a status entry where they would have been) rather
    // than held: memory stays bounded when the disk is far slower than the line.
    std::size_t maxPendingBytes = std::size_t{64} << 20;
    // Called once, on the writer thread, when a write fails (a full disk, say);
    // the log stops there and recording becomes a no-op. May be empty.
    std::function<void(std::string_view message)> onFailure = {};
    // Gives every entry its time, and tells the writer when the modem's output
    // has been quiet long enough to end its line. Empty: the system clock.
    std::function<TrafficClock::time_point()> clock = {};
};

class TrafficLog;

struct OpenedTrafficLog {
    std::unique_ptr<TrafficLog> log;  // null on failure
    std::string error;                // why, naming the file
};

class TrafficLog final : public TrafficTap {
public:
    // Opens `path` for appending (creating it) and starts the writer.
    [[nodiscard]] static OpenedTrafficLog open(const std::filesystem::path& path,
                                               TrafficLogOptions options = {});

    // Only open() can make the key.
    class Key {
        friend class TrafficLog;
        Key() = default;
    };
    TrafficLog(Key key, std::ofstream out, std::filesystem::path path, TrafficLogOptions options);

    // Writes everything recorded, then stops the writer.
    ~TrafficLog() override;
    TrafficLog(const TrafficLog&) = delete;
    TrafficLog& operator=(const TrafficLog&) = delete;

    // Safe from any thread; never waits for the disk. Bytes from the modem
    // are gathered into lines (line_gatherer.h), the others are one entry each.
    void record(TrafficDirection direction, std::span<const std::uint8_t> bytes);

    [[nodiscard]] std::uint64_t beginSend() override;
    void sent(std::uint64_t send, std::span<const std::uint8_t> bytes) override;
    void received(std::span<const std::uint8_t> bytes) override;
    void status(std::string_view text) override;

    // Waits until everything recorded before the call is written, or the log
    // has stopped. A line of the modem's still open ends here.
    void flush();

    // Why the log stopped, naming the file; empty while it works.
    [[nodiscard]] std::string failure() const;

private:
    enum class EntryKind {
        Bytes,
        Send,  // a write under way: its bytes come with sent()
        Gap,   // bursts left out because the writer fell behind
    };
    struct Entry {
        TrafficClock::time_point when;
        TrafficDirection direction;
        EntryKind kind;
        std::size_t block;         // in Batch::blocks
        std::size_t offset;        // in that block
        std::size_t size;          // bytes; for a gap, the bytes left out
        std::uint64_t sequence;    // of the record that made it (a gap's last)
        std::uint64_t bursts = 0;  // left out, for a gap
    };
    struct Batch {
        std::vector<Entry> entries;
        // The bytes in blocks that are filled, never moved: a batch that grows
        // while the writer is behind costs no copying under the lock.
        std::vector<std::vector<std::uint8_t>> blocks;
        std::size_t size = 0;  // bytes in all blocks
        void clear();
    };
    struct OpenSend {
        std::uint64_t sequence;
        std::size_t entry;  // in m_pending, which the writer leaves alone meanwhile
    };

    // The ...Locked operations run with m_mutex held.
    // Copies `bytes` into the pending batch's blocks and points `entry` at them.
    void placeLocked(Entry& entry, std::span<const std::uint8_t> bytes);
    void leaveOutLocked(TrafficClock::time_point when, std::size_t bytes);
    [[nodiscard]] bool writerMayTakeLocked() const;
    [[nodiscard]] TrafficClock::time_point now() const;

    void writerLoop();
    bool writeBatch(const Batch& batch, std::string& text, LineGatherer& lines);
    bool writeOut(std::string& text);

    std::filesystem::path m_path;
    TrafficLogOptions m_options;
    std::ofstream m_out;  // the writer thread's alone once it runs

    mutable std::mutex m_mutex;
    std::condition_variable m_wakeWriter;
    std::condition_variable m_written;
    Batch m_pending;
    std::vector<OpenSend> m_openSends;
    std::vector<std::vector<std::uint8_t>> m_spareBlocks;  // emptied, kept for reuse
    std::uint64_t m_recorded = 0;                          // records so far
    std::uint64_t m_writtenUpTo = 0;                       // records written so far
    std::uint64_t m_flushTarget = 0;                       // records flush() waits for
    bool m_stopping = false;
    bool m_failed = false;
    std::string m_failure;
    std::thread m_writer;  // last: starts once everything above exists
};

}  // namespace modem
