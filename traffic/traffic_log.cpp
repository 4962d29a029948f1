#include "traffic/traffic_log.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace modem {

namespace {

// Formatted text is written out in pieces of about this size, so that a large
// batch does not need its whole text in memory at once.
constexpr std::size_t writeChunk = std::size_t{1} << 20;

std::span<const std::uint8_t> asBytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

void TrafficLog::Batch::clear() {
    entries.clear();
    bytes.clear();
    droppedBytes = 0;
    droppedBursts = 0;
}

OpenedTrafficLog TrafficLog::open(const std::filesystem::path& path, TrafficLogOptions options) {
    errno = 0;
    std::ofstream out(path, std::ios::out | std::ios::app | std::ios::binary);
    if (!out.is_open()) {
        const int error = errno;
        return {nullptr, "cannot open traffic log " + path.string() +
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
    const auto when = TrafficClock::now();
    bool wasEmpty = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_failed || m_stopping) {
            return;
        }
        Batch& b = m_pending;
        if (b.bytes.size() + bytes.size() > m_options.maxPendingBytes) {
            b.droppedBytes += bytes.size();
            ++b.droppedBursts;
            wasEmpty = b.entries.empty() && b.droppedBursts == 1;
        } else {
            wasEmpty = b.entries.empty() && b.droppedBursts == 0;
            b.entries.push_back(Entry{when, direction, b.bytes.size(), bytes.size()});
            b.bytes.insert(b.bytes.end(), bytes.begin(), bytes.end());
        }
        b.sequence = ++m_recorded;
    }
    // One wake-up per batch: later bursts join the batch the writer will take.
    if (wasEmpty) {
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
    m_written.wait(lock, [&] { return m_writtenUpTo >= target || m_failed; });
}

std::string TrafficLog::failure() const {
    std::lock_guard lock(m_mutex);
    return m_failure;
}

void TrafficLog::writerLoop() {
    // Both batches keep their capacity across swaps, so a steady stream soon
    // records without growing a buffer under the lock.
    Batch working;
    working.bytes.reserve(writeChunk);
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
        std::swap(working, m_pending);
        lock.unlock();

        const bool ok = writeBatch(working, text);
        const std::uint64_t upTo = working.sequence;
        working.clear();
        std::string failure;
        if (!ok) {
            const int error = errno;
            failure = "traffic log " + m_path.string() + ": cannot write" +
                      (error != 0 ? std::string(" (") + std::strerror(error) + ")" : "") +
                      "; logging stopped";
        }

        lock.lock();
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
                           std::span(batch.bytes).subspan(e.offset, e.size));
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
