#include "traffic/traffic_log.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "settings/utf8_path.h"
#include "traffic/thread_priority.h"

namespace modem {

namespace {

// Formatted text is written out in pieces of about this size, so that a large
// batch does not need its whole text in memory at once.
constexpr std::size_t writeChunk = std::size_t{1} << 20;
// The writer lets a batch gather for up to this long, or this many bytes,
// before it takes it: one write and one wake-up per batch rather than per
// burst keeps the log's share of the processor small under a fast stream.
constexpr auto gatherTime = std::chrono::milliseconds(20);
constexpr std::size_t gatherBytes = std::size_t{256} << 10;
constexpr std::size_t blockSize = std::size_t{256} << 10;
constexpr std::size_t spareBlocksKept = 8;

std::span<const std::uint8_t> asBytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

void TrafficLog::Batch::clear() {
    entries.clear();
    blocks.clear();
    size = 0;
}

OpenedTrafficLog TrafficLog::open(const std::filesystem::path& path, TrafficLogOptions options) {
    errno = 0;
    std::ofstream out(path, std::ios::out | std::ios::app | std::ios::binary);
    if (!out.is_open()) {
        const int error = errno;
        return {nullptr, "cannot open traffic log " + pathToUtf8(path) +
                             (error != 0 ? std::string(": ") + std::strerror(error) : "")};
    }
    return {std::make_unique<TrafficLog>(Key{}, std::move(out), path, std::move(options)), {}};
}

TrafficLog::TrafficLog(Key /*key*/, std::ofstream out, std::filesystem::path path,
                       TrafficLogOptions options)
    : m_path(std::move(path)),
      m_options(std::move(options)),
      m_out(std::move(out)),
      m_writer(&TrafficLog::writerLoop, this) {}

TrafficLog::~TrafficLog() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wakeWriter.notify_one();
    m_writer.join();
}

TrafficClock::time_point TrafficLog::now() const {
    return m_options.clock ? m_options.clock() : TrafficClock::now();
}

void TrafficLog::placeLocked(Entry& entry, std::span<const std::uint8_t> bytes) {
    Batch& b = m_pending;
    if (b.blocks.empty() || b.blocks.back().capacity() - b.blocks.back().size() < bytes.size()) {
        std::vector<std::uint8_t> block;
        if (!m_spareBlocks.empty() && bytes.size() <= blockSize) {
            block = std::move(m_spareBlocks.back());
            m_spareBlocks.pop_back();
        } else {
            block.reserve(std::max(blockSize, bytes.size()));
        }
        b.blocks.push_back(std::move(block));
    }
    std::vector<std::uint8_t>& block = b.blocks.back();
    entry.block = b.blocks.size() - 1;
    entry.offset = block.size();
    entry.size = bytes.size();
    block.insert(block.end(), bytes.begin(), bytes.end());
    b.size += bytes.size();
}

void TrafficLog::leaveOutLocked(TrafficClock::time_point when, std::size_t bytes) {
    // Bursts left out one after another make one gap, and one note.
    std::vector<Entry>& entries = m_pending.entries;
    if (entries.empty() || entries.back().kind != EntryKind::Gap) {
        entries.push_back(Entry{when, TrafficDirection::Status, EntryKind::Gap, 0, 0, 0, 0});
    }
    entries.back().size += bytes;
    ++entries.back().bursts;
    entries.back().sequence = m_recorded;
}

bool TrafficLog::writerMayTakeLocked() const {
    // An entry whose write is under way holds back everything recorded after
    // it, so that nothing received meanwhile is written before it.
    return m_stopping || m_openSends.empty();
}

void TrafficLog::record(TrafficDirection direction, std::span<const std::uint8_t> bytes) {
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_failed || m_stopping) {
            return;
        }
        // Stamped under the lock, so the file's order is the order of the times
        // even when two threads record at once.
        const auto when = now();
        ++m_recorded;
        Batch& b = m_pending;
        // Wake-ups only when a batch starts and when it is full enough: later
        // records join the batch the writer will take.
        wake = b.entries.empty();
        if (b.size + bytes.size() > m_options.maxPendingBytes) {
            leaveOutLocked(when, bytes.size());
        } else {
            wake = wake || (b.size < gatherBytes && b.size + bytes.size() >= gatherBytes);
            Entry entry{when, direction, EntryKind::Bytes, 0, 0, 0, m_recorded};
            placeLocked(entry, bytes);
            b.entries.push_back(entry);
        }
    }
    if (wake) {
        m_wakeWriter.notify_one();
    }
}

std::uint64_t TrafficLog::beginSend() {
    std::lock_guard lock(m_mutex);
    if (m_failed || m_stopping) {
        return 0;
    }
    const auto when = now();
    ++m_recorded;
    m_openSends.push_back(OpenSend{m_recorded, m_pending.entries.size()});
    m_pending.entries.push_back(
        Entry{when, TrafficDirection::ToModem, EntryKind::Send, 0, 0, 0, m_recorded});
    return m_recorded;
}

void TrafficLog::sent(std::uint64_t send, std::span<const std::uint8_t> bytes) {
    {
        std::lock_guard lock(m_mutex);
        const auto open = std::find_if(m_openSends.begin(), m_openSends.end(),
                                       [send](const OpenSend& s) { return s.sequence == send; });
        if (open == m_openSends.end()) {
            return;  // the log has stopped meanwhile
        }
        const std::size_t index = open->entry;
        m_openSends.erase(open);
        Entry& entry = m_pending.entries[index];
        if (bytes.empty()) {
            // Nothing went out: the entry stays a send, which the writer skips.
        } else if (m_pending.size + bytes.size() > m_options.maxPendingBytes) {
            entry.kind = EntryKind::Gap;
            entry.direction = TrafficDirection::Status;
            entry.size = bytes.size();
            entry.bursts = 1;
        } else {
            // The bytes go to the end of the blocks; the entry keeps its place.
            placeLocked(entry, bytes);
            entry.kind = EntryKind::Bytes;
        }
        if (!m_openSends.empty()) {
            return;
        }
    }
    m_wakeWriter.notify_one();
}

void TrafficLog::received(std::span<const std::uint8_t> bytes) {
    record(TrafficDirection::FromModem, bytes);
}

void TrafficLog::status(std::string_view text) {
    record(TrafficDirection::Status, asBytes(text));
}

void TrafficLog::flush() {
    std::unique_lock lock(m_mutex);
    const std::uint64_t target = m_recorded;
    m_flushTarget = std::max(m_flushTarget, target);
    m_wakeWriter.notify_one();
    m_written.wait(lock, [&] { return m_writtenUpTo >= target || m_failed; });
}

std::string TrafficLog::failure() const {
    std::lock_guard lock(m_mutex);
    return m_failure;
}

void TrafficLog::writerLoop() {
    using std::chrono::milliseconds;
    lowerCurrentThreadPriority();
    // Both batches keep their capacity across swaps, so a steady stream soon
    // records without growing a buffer under the lock.
    Batch working;
    std::string text;
    text.reserve(writeChunk + writeChunk / 2);
    LineGatherer lines(TrafficDirection::FromModem);
    std::unique_lock lock(m_mutex);
    for (;;) {
        const auto flushing = [&] { return m_flushTarget > m_writtenUpTo; };
        for (;;) {
            if (m_stopping || (m_openSends.empty() && (!m_pending.entries.empty() || flushing()))) {
                break;
            }
            if (!lines.open() || !m_openSends.empty()) {
                m_wakeWriter.wait(lock);
                continue;
            }
            // The modem's line still open ends once the line has been quiet
            // long enough; the clock says when.
            const auto left = std::chrono::ceil<milliseconds>(lines.lastByteTime() +
                                                              LineGatherer::quietEnd - now());
            if (left.count() <= 0) {
                break;
            }
            (void)m_wakeWriter.wait_for(lock, std::min(left, milliseconds(LineGatherer::quietEnd)));
        }
        if (!m_pending.entries.empty()) {
            (void)m_wakeWriter.wait_for(lock, gatherTime, [&] {
                return m_stopping || flushing() || m_pending.size >= gatherBytes;
            });
        }
        if (!writerMayTakeLocked()) {
            continue;  // a write began meanwhile
        }
        std::swap(working, m_pending);
        // Sends still under way when the log closes are left out; sent() finds
        // them gone.
        m_openSends.clear();
        const std::uint64_t upTo = m_recorded;
        const bool endLine = m_stopping || flushing();
        const bool last = m_stopping;
        const auto takenAt = now();
        lock.unlock();

        bool ok = writeBatch(working, text, lines);
        if (ok) {
            if (endLine) {
                lines.end(text);
            } else {
                lines.endIfQuiet(text, takenAt);
            }
            ok = writeOut(text);
        }
        if (ok) {
            // Each batch reaches the file before the next is taken, so a log read
            // after a crash holds everything up to the last batch.
            errno = 0;
            m_out.flush();
            ok = m_out.good();
        }
        std::vector<std::vector<std::uint8_t>> emptied;
        for (auto& block : working.blocks) {
            if (block.capacity() == blockSize && emptied.size() < spareBlocksKept) {
                block.clear();
                emptied.push_back(std::move(block));
            }
        }
        working.clear();
        std::string failure;
        if (!ok) {
            const int error = errno;
            failure = "traffic log " + pathToUtf8(m_path) + ": cannot write" +
                      (error != 0 ? std::string(" (") + std::strerror(error) + ")" : "") +
                      "; logging stopped";
        }

        lock.lock();
        for (auto& block : emptied) {
            if (m_spareBlocks.size() < spareBlocksKept) {
                m_spareBlocks.push_back(std::move(block));
            }
        }
        // A line still open is not written yet, nor anything recorded after it.
        m_writtenUpTo = lines.open() ? lines.origin() - 1 : upTo;
        if (!ok) {
            m_failed = true;
            m_failure = failure;
            m_pending.clear();
            m_openSends.clear();
        }
        m_written.notify_all();
        if (!ok) {
            lock.unlock();
            if (m_options.onFailure) {
                m_options.onFailure(failure);
            }
            return;
        }
        if (last) {
            return;
        }
    }
}

bool TrafficLog::writeOut(std::string& text) {
    errno = 0;
    m_out.write(text.data(), static_cast<std::streamsize>(text.size()));
    text.clear();
    return m_out.good();
}

bool TrafficLog::writeBatch(const Batch& batch, std::string& text, LineGatherer& lines) {
    text.clear();
    for (const Entry& e : batch.entries) {
        switch (e.kind) {
            case EntryKind::Send:
                // Nothing went out, or the log closed before the write ended.
                continue;
            case EntryKind::Gap: {
                lines.end(text);
                const std::string note = std::to_string(e.size) + " bytes in " +
                                         std::to_string(e.bursts) +
                                         " bursts not logged: the log fell behind";
                appendTrafficEntry(text, e.when, TrafficDirection::Status, asBytes(note));
                break;
            }
            case EntryKind::Bytes: {
                const auto bytes = std::span(batch.blocks[e.block]).subspan(e.offset, e.size);
                if (e.direction == TrafficDirection::FromModem) {
                    lines.add(text, e.when, bytes, e.sequence);
                } else {
                    // The other direction or a status line ends the modem's line.
                    lines.end(text);
                    appendTrafficEntry(text, e.when, e.direction, bytes);
                }
                break;
            }
        }
        if (text.size() >= writeChunk && !writeOut(text)) {
            return false;
        }
    }
    return true;
}

}  // namespace modem
