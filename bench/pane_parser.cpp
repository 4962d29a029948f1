// Terminal pane throughput and report parsing time. Prints figures only; the
// pane's goal is at least 100 MB/s of received bytes.

#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "link/terminal_pane.h"
#include "protocol/report_parser.h"
#include "sim/modem_simulator.h"

namespace {

// Traffic as the pane sees it: reports, answers, long lines that break at 57,
// LFs, NULs and bytes above 0x7F, in a fixed pseudo-random mix.
std::string mixedStream(std::size_t size) {
    std::mt19937 rng(2024);
    const std::string report = modem::settingsReport(modem::defaultSettings());
    const std::string answers = "Self-test OK\rVHF RSSI -93 dBm\rSupply 12.4 V\r\n";
    std::string s;
    s.reserve(size + report.size());
    while (s.size() < size) {
        switch (rng() % 4) {
            case 0:
                s += report;
                break;
            case 1:
                s += answers;
                break;
            case 2:
                for (int i = 0; i < 200; ++i) {  // a long run without CR
                    s += static_cast<char>('A' + rng() % 26);
                }
                break;
            default:
                for (int i = 0; i < 64; ++i) {
                    s += static_cast<char>(rng() % 256);
                }
        }
    }
    s.resize(size);
    return s;
}

const std::string& stream() {
    static const std::string s = mixedStream(8 << 20);
    return s;
}

void BM_AppendChar(benchmark::State& state) {
    const std::string& s = stream();
    for (auto _ : state) {
        modem::TerminalPane pane;
        for (char c : s) {
            pane.appendChar(static_cast<unsigned char>(c));
        }
        benchmark::DoNotOptimize(pane.changeCount());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.size()));
}
BENCHMARK(BM_AppendChar)->Unit(benchmark::kMillisecond);

// The receive thread's way: whatever one read returned, under one lock.
void BM_AppendBytes(benchmark::State& state) {
    const std::string& s = stream();
    const auto chunk = static_cast<std::size_t>(state.range(0));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(s.data());
    for (auto _ : state) {
        modem::TerminalPane pane;
        for (std::size_t off = 0; off < s.size(); off += chunk) {
            pane.appendBytes(std::span(bytes + off, std::min(chunk, s.size() - off)));
        }
        benchmark::DoNotOptimize(pane.changeCount());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.size()));
}
BENCHMARK(BM_AppendBytes)->Arg(1)->Arg(64)->Arg(4096)->Unit(benchmark::kMillisecond);

void BM_ParseReport(benchmark::State& state) {
    modem::TerminalPane pane;
    const std::string report = modem::settingsReport(modem::defaultSettings());
    pane.appendBytes(
        std::span(reinterpret_cast<const std::uint8_t*>(report.data()), report.size()));
    const std::string text = pane.snapshot();
    for (auto _ : state) {
        modem::Mset m = modem::defaultSettings();
        benchmark::DoNotOptimize(modem::parseReport(text, m));
        benchmark::DoNotOptimize(m);
    }
}
BENCHMARK(BM_ParseReport);

void BM_SettingsReport(benchmark::State& state) {
    const modem::Mset m = modem::defaultSettings();
    for (auto _ : state) {
        benchmark::DoNotOptimize(modem::settingsReport(m));
    }
}
BENCHMARK(BM_SettingsReport);

}  // namespace

BENCHMARK_MAIN();
