#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "traffic/traffic_format.h"

namespace modem::test {

// What modem-sim received, in order: the bytes of its log's '>' entries.
inline std::string receivedBySim(const std::filesystem::path& log) {
    std::ifstream in(log, std::ios::binary);
    std::string bytes;
    for (std::string line; std::getline(in, line);) {
        const auto entry = parseTrafficEntry(line);
        if (entry && entry->direction == TrafficDirection::ToModem) {
            bytes.append(entry->bytes.begin(), entry->bytes.end());
        }
    }
    return bytes;
}

}  // namespace modem::test
