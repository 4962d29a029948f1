#pragma once

// A serial port that records every write and never receives anything: the
// buttons' bytes can be checked exactly without a device. Writes can be made
// to fail, to see what a chain does after a failed send.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "link/serial_port.h"

namespace modem::test {

struct PortRecord {
    std::vector<std::string> writes;  // one entry per write call, in order
    int failWritesFrom = -1;          // index of the first write that fails; -1 none
    std::string openedPath;

    [[nodiscard]] std::string all() const {
        std::string joined;
        for (const auto& w : writes) {
            joined += w;
        }
        return joined;
    }
};

class RecordingPort : public SerialPort {
public:
    explicit RecordingPort(std::shared_ptr<PortRecord> record) : m_record(std::move(record)) {}

    OpenResult open(const std::string& path) override {
        m_record->openedPath = path;
        m_open = true;
        return {};
    }
    void close() override { m_open = false; }
    [[nodiscard]] bool isOpen() const override { return m_open; }

    WriteResult write(std::span<const std::uint8_t> bytes,
                      std::chrono::milliseconds /*deadline*/) override {
        const int index = static_cast<int>(m_record->writes.size());
        m_record->writes.emplace_back(bytes.begin(), bytes.end());
        if (m_record->failWritesFrom >= 0 && index >= m_record->failWritesFrom) {
            return {WriteStatus::Failed, 0, "injected failure"};
        }
        return {WriteStatus::Ok, bytes.size(), {}};
    }

    WaitStatus waitReadable() override {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [this] { return m_woken; });
        m_woken = false;
        return WaitStatus::Woken;
    }
    ReadResult read(std::span<std::uint8_t> /*buffer*/) override { return {}; }
    void wake() override {
        {
            std::lock_guard lock(m_mutex);
            m_woken = true;
        }
        m_cv.notify_all();
    }

private:
    std::shared_ptr<PortRecord> m_record;
    bool m_open = false;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_woken = false;
};

}  // namespace modem::test
