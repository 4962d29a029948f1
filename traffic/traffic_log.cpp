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
    droppedBytes = 0;
    droppedBursts = 0;
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

void TrafficLog::record(TrafficDirection direction, std::span<const std::uint8_t> bytes) {
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_failed || m_stopping) {
            return;
        }
        // Stamped under the lock, so the file's order is the order of the times
        // even when two threads record at once.
        const auto when = TrafficClock::now();
        Batch& b = m_pending;
        if (b.size + bytes.size() > m_options.maxPendingBytes) {
            b.droppedBytes += bytes.size();
            ++b.droppedBursts;
            wake = b.entries.empty() && b.droppedBursts == 1;
        } else {
            wake = (b.entries.empty() && b.droppedBursts == 0) ||
                   (b.size < gatherBytes && b.size + bytes.size() >= gatherBytes);
            if (b.blocks.empty() ||
                b.blocks.back().capacity() - b.blocks.back().size() < bytes.size()) {
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
            b.entries.push_back(
                Entry{when, direction, b.blocks.size() - 1, block.size(), bytes.size()});
            block.insert(block.end(), bytes.begin(), bytes.end());
            b.size += bytes.size();
        }
        b.sequence = ++m_recorded;
    }
    // Wake-ups only when a batch starts and when it is full enough: later
    // bursts join the batch the writer will take.
    if (wake) {
        m_wakeWriter.notify_one();
    }
}

void TrafficLog::sent(std::span<const std::uint8_t> bytes) {
    record(TrafficDirection::ToModem, bytes);
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
    lowerCurrentThreadPriority();
    // Both batches keep their capacity across swaps, so a steady stream soon
    // records without growing a buffer under the lock.
    Batch working;
    std::string text;
    text.reserve(writeChunk + writeChunk / 2);
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wakeWriter.wait(lock, [&] {
            return m_stopping || !m_pending.entries.empty() || m_pending.droppedBursts != 0;
        });
        if (m_pending.entries.empty() && m_pending.droppedBursts == 0) {
            break;  // stopping, and everything is written
        }
        (void)m_wakeWriter.wait_for(lock, gatherTime, [&] {
            return m_stopping || m_flushTarget > m_writtenUpTo || m_pending.size >= gatherBytes;
        });
        std::swap(working, m_pending);
        lock.unlock();

        const bool ok = writeBatch(working, text);
        const std::uint64_t upTo = working.sequence;
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
        m_writtenUpTo = upTo;
        if (!ok) {
            m_failed = true;
            m_failure = failure;
            m_pending.clear();
        }
        m_written.notify_all();
        if (!ok) {
            lock.unlock();
            if (m_options.onFailure) {
                m_options.onFailure(failure);
            }
            return;
        }
    }
}

bool TrafficLog::writeBatch(const Batch& batch, std::string& text) {
    const auto writeOut = [&] {
        errno = 0;
        m_out.write(text.data(), static_cast<std::streamsize>(text.size()));
        text.clear();
        return m_out.good();
    };
    text.clear();
    for (const Entry& e : batch.entries) {
        appendTrafficEntry(text, e.when, e.direction,
                           std::span(batch.blocks[e.block]).subspan(e.offset, e.size));
        if (text.size() >= writeChunk && !writeOut()) {
            return false;
        }
    }
    if (batch.droppedBursts != 0) {
        const std::string note = std::to_string(batch.droppedBytes) + " bytes in " +
                                 std::to_string(batch.droppedBursts) +
                                 " bursts not logged: the log fell behind";
        appendTrafficEntry(text, TrafficClock::now(), TrafficDirection::Status, asBytes(note));
    }
    if (!writeOut()) {
        return false;
    }
    // Each batch reaches the file before the next is taken, so a log read after
    // a crash holds everything up to the last batch.
    errno = 0;
    m_out.flush();
    return m_out.good();
}

}  // namespace modem
