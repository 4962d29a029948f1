#include "link/terminal_pane.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace modem {
namespace {

std::string feed(TerminalPane& pane, std::string_view bytes) {
    for (char c : bytes) {
        pane.appendChar(static_cast<unsigned char>(c));
    }
    return pane.snapshot();
}

std::size_t countLines(const std::string& text) {
    std::size_t n = 1;
    for (std::size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2)) {
        ++n;
    }
    return n;
}

// The pane's rules written the slow, obvious way: every quantity is recomputed
// from the text, so it checks the incremental bookkeeping of the real pane.
class ReferencePane {
public:
    void append(unsigned char b) {
        if (lastLineLength() == 57) {
            lineBreak();
        }
        if (b == '\r') {
            lineBreak();
        } else if (b != 0) {
            text.push_back(static_cast<char>(b));
        }
    }
    void replace(std::size_t start, std::size_t end, std::string_view t) {
        start = std::min(start, text.size());
        end = std::clamp(end, start, text.size());
        text.replace(start, end - start, t);
    }
    std::string text;

private:
    std::size_t lastLineLength() const {
        const std::size_t p = text.rfind("\r\n");
        return p == std::string::npos ? text.size() : text.size() - p - 2;
    }
    void lineBreak() {
        if (countLines(text) == 24) {
            text.erase(0, text.find("\r\n") + 2);
        }
        text += "\r\n";
    }
};

struct WorkedExample {
    const char* name;
    std::string received;
    std::string expected;
};

TEST(TerminalPane, WorkedExamples) {
    const std::string a57(57, 'A');
    const std::string a56(56, 'A');
    const std::vector<WorkedExample> cases{
        {"CR becomes CR LF, LF is a character", "AB\r\nCD", "AB\r\n\nCD"},
        {"NUL inserts nothing", std::string("A\0B", 3), "AB"},
        {"57 characters then one more", a57 + "B", a57 + "\r\nB"},
        {"CR at a full line gives an empty line", a57 + "\r", a57 + "\r\n\r\n"},
        {"NUL at a full line still breaks it", a57 + std::string(1, '\0'), a57 + "\r\n"},
        {"LF counts towards the 57", a56 + "\nB", a56 + "\n\r\nB"},
        {"high bytes are kept", "\xC0\xC1", "\xC0\xC1"},
        {"first byte lands at offset 0", "M", "M"},
    };
    for (const auto& c : cases) {
        TerminalPane pane;
        EXPECT_EQ(feed(pane, c.received), c.expected) << c.name;
    }
}

std::string numberedLines(int from, int to) {
    std::string s;
    for (int i = from; i < to; ++i) {
        s += "L" + std::to_string(100 + i) + "\r";
    }
    return s;
}

TEST(TerminalPane, WindowOfTwentyFourLinesShiftsByWholeLines) {
    TerminalPane pane;
    // 23 CRs: exactly 24 lines, the last one empty, nothing dropped yet.
    std::string text = feed(pane, numberedLines(0, 23));
    EXPECT_EQ(countLines(text), 24u);
    EXPECT_EQ(text.substr(0, 6), "L100\r\n");

    text = feed(pane, "\r");
    EXPECT_EQ(countLines(text), 24u);
    EXPECT_EQ(text.substr(0, 6), "L101\r\n") << "the oldest line and its CR LF go first";
    EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");

    text = feed(pane, numberedLines(200, 300));
    EXPECT_EQ(countLines(text), 24u);
    EXPECT_EQ(text.substr(0, 6), "L377\r\n");
}

TEST(TerminalPane, CrAtAFullLineInAFullWindowDropsTwoLines) {
    TerminalPane pane;
    feed(pane, numberedLines(0, 23) + std::string(57, 'x'));
    const std::string text = feed(pane, "\r");
    EXPECT_EQ(countLines(text), 24u);
    EXPECT_EQ(text.substr(0, 6), "L102\r\n");
    EXPECT_EQ(text.substr(text.size() - 61), std::string(57, 'x') + "\r\n\r\n");
}

TEST(TerminalPane, AStatusLineStandsOnALineOfItsOwn) {
    const std::string a57(57, 'A');
    struct Case {
        const char* name;
        std::string before;  // received bytes
        std::string status;
        std::string expected;
    };
    const std::vector<Case> cases{
        {"empty pane", "", "no device found", "no device found\r\n"},
        {"after a half-received line", "Config mo", "device disconnected",
         "Config mo\r\ndevice disconnected\r\n"},
        {"after a whole line: no empty line between", "OK\r", "device disconnected",
         "OK\r\ndevice disconnected\r\n"},
        {"after a full line: one break, not two", a57, "x", a57 + "\r\nx\r\n"},
        {"an LF is a character of the line", "OK\r\n", "x", "OK\r\n\n\r\nx\r\n"},
        {"stops at a CR", "", "device found on ttyACM0\rgarbage", "device found on ttyACM0\r\n"},
        {"stops at a NUL", "ab", std::string("x\0y", 3), "ab\r\nx\r\n"},
        {"an empty status line after a half line", "ab", "", "ab\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalPane pane;
        feed(pane, c.before);
        EXPECT_EQ(pane.logLine(c.status), 1);
        EXPECT_EQ(pane.snapshot(), c.expected);
    }

    // In a full window the break that starts the status line drops the oldest
    // line like any other break: still 24 lines.
    TerminalPane pane;
    feed(pane, numberedLines(0, 23) + "half");
    const std::string text = (pane.logLine("status"), pane.snapshot());
    EXPECT_EQ(countLines(text), 24u);
    EXPECT_EQ(text.substr(0, 6), "L102\r\n");
    EXPECT_TRUE(text.ends_with("\r\nL122\r\nhalf\r\nstatus\r\n"));
}

TEST(TerminalPane, ClearPutsTheNextByteAtOffsetZero) {
    TerminalPane pane;
    feed(pane, numberedLines(0, 40) + std::string(30, 'y'));
    pane.clearTerminal();
    EXPECT_EQ(pane.snapshot(), "");
    // The line bookkeeping starts afresh too: a 57-character line breaks at 57.
    EXPECT_EQ(feed(pane, std::string(58, 'z')), std::string(57, 'z') + "\r\nz");
}

TEST(TerminalPane, OperatorMadeLongLinesAndExtraLinesAreLeftAlone) {
    TerminalPane pane;
    pane.replaceRange(0, 0, std::string(60, 'o'));
    EXPECT_EQ(feed(pane, "p"), std::string(60, 'o') + "p") << "only exactly 57 is broken";

    pane.clearTerminal();
    std::string many;
    for (int i = 0; i < 30; ++i) {
        many += "typed\r\n";
    }
    pane.replaceRange(0, 0, many);
    const std::string text = feed(pane, "\r");
    EXPECT_EQ(countLines(text), 32u) << "only exactly 24 is trimmed";
    EXPECT_EQ(text.substr(0, 7), "typed\r\n");
}

// An operator's edit is made on a drawing of the pane; lines may have left the
// front before the edit reaches the pane. The edit must land beside the same
// characters the operator saw.
struct DrawnEditCase {
    const char* name;
    std::string since;  // received after the drawing ("" none, "\x0c" clears)
    std::size_t start;  // in the drawing
    std::size_t end;
    std::string typed;
    std::string expectedFront;  // the pane's first 12 characters afterwards
};

TEST(TerminalPane, AnEditOfADrawingLandsWhereItWasMadeAfterLinesLeftTheFront) {
    // 24 lines of 6 characters: "L100\r\n" ... "L122\r\n" and an empty last line.
    const std::vector<DrawnEditCase> cases = {
        {"nothing since", "", 6, 6, "x", "L100\r\nxL101\r"},
        {"one line left", "\r", 12, 12, "x", "L101\r\nxL102\r"},
        {"two lines left, a replacement", "\r\r", 18, 22, "M", "L102\r\nM\r\nL10"},
        {"a deletion across the new front", "\r", 4, 8, "", "01\r\nL102\r\nL1"},
        {"inside the line that left", "\r", 2, 3, "y", "yL101\r\nL102\r"},
        {"cleared since", "\x0c", 30, 30, "z", "zab"},
    };
    for (const DrawnEditCase& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalPane pane;
        feed(pane, numberedLines(0, 23));
        const TerminalPane::Drawing drawn = pane.drawing();
        ASSERT_EQ(drawn.text.substr(0, 12), "L100\r\nL101\r\n");
        if (c.since == "\x0c") {
            pane.clearTerminal();
            feed(pane, "ab");
        } else {
            feed(pane, c.since);
        }
        pane.replaceDrawnRange(drawn.dropped, c.start, c.end, c.typed);
        EXPECT_EQ(pane.snapshot().substr(0, 12), c.expectedFront);
    }
}

// Random streams with edits and clears, compared against the obvious model: the
// pane's incremental line count and last-line start must never drift.
TEST(TerminalPane, MatchesTheReferenceModelOverRandomStreamsAndEdits) {
    std::mt19937 rng(4017);
    const std::string alphabet = std::string("ab\r\r\n\n-", 7) + std::string(1, '\0');
    for (int round = 0; round < 200; ++round) {
        TerminalPane pane;
        ReferencePane ref;
        for (int step = 0; step < 400; ++step) {
            const int what = static_cast<int>(rng() % 100);
            if (what < 2) {
                pane.clearTerminal();
                ref.text.clear();
            } else if (what < 6) {
                const std::size_t a = rng() % (ref.text.size() + 3);
                const std::size_t b = rng() % (ref.text.size() + 3);
                std::string typed;
                for (std::size_t k = rng() % 5; k > 0; --k) {
                    typed.push_back(alphabet[rng() % (alphabet.size() - 1)]);
                }
                pane.replaceRange(a, b, typed);
                ref.replace(a, b, typed);
            } else if (what < 20) {
                std::vector<std::uint8_t> burst(rng() % 90);
                for (auto& b : burst) {
                    b = static_cast<std::uint8_t>(alphabet[rng() % alphabet.size()]);
                    ref.append(b);
                }
                pane.appendBytes(burst);
            } else {
                const auto b = static_cast<unsigned char>(alphabet[rng() % alphabet.size()]);
                pane.appendChar(b);
                ref.append(b);
            }
            ASSERT_EQ(pane.snapshot(), ref.text) << "round " << round << " step " << step;
        }
    }
}

TEST(TerminalPane, NotificationIsCoalescedUntilTheDisplayCatchesUp) {
    TerminalPane pane;
    int calls = 0;
    pane.setChangeListener([&] { ++calls; });
    const auto before = pane.changeCount();
    feed(pane, "many bytes\rand more");
    pane.logLine("status");
    EXPECT_EQ(calls, 1);
    EXPECT_GT(pane.changeCount(), before);

    pane.takeNotification();
    const auto drawn = pane.changeCount();
    EXPECT_EQ(pane.changeCount(), drawn);
    pane.clearTerminal();
    EXPECT_EQ(calls, 2);
    EXPECT_GT(pane.changeCount(), drawn);
}

TEST(TerminalPane, ListenerMayReadThePaneWithoutDeadlock) {
    TerminalPane pane;
    std::string seen;
    pane.setChangeListener([&] { seen = pane.snapshot(); });
    pane.appendChar('Q');
    EXPECT_EQ(seen, "Q");
}

// The receive thread streams numbered records while the user-interface thread
// logs, snapshots and clears. Within a snapshot the records must follow each
// other without loss or repetition; a record sent by one appendBytes call
// ({...}) and a status line must never have anything inside them.
TEST(TerminalPane, TwoThreadsKeepEveryAppendWholeAndInOrder) {
    TerminalPane pane;
    constexpr int records = 30000;
    const std::string status = "[status line]";
    std::atomic<bool> done{false};
    // The last record waits until the clears and status lines have stopped, so
    // that neither a clear nor 24 status lines (a slow thread's record can be
    // split by many) can push it out, and the final snapshot must show it.
    std::atomic<bool> lastRecordDue{false};
    std::atomic<bool> clearsStopped{false};
    std::thread rx([&] {
        char buf[16];
        for (int i = 0; i < records; ++i) {
            if (i == records - 1) {
                lastRecordDue = true;
                while (!clearsStopped.load()) {
                    std::this_thread::yield();
                }
            }
            if (i % 3 == 0) {
                const int n = std::snprintf(buf, sizeof buf, "{%07d}", i);
                pane.appendBytes(std::span(reinterpret_cast<const std::uint8_t*>(buf),
                                           static_cast<std::size_t>(n)));
            } else {
                const int n = std::snprintf(buf, sizeof buf, "<%07d>", i);
                for (int k = 0; k < n; ++k) {
                    pane.appendChar(buf[k]);
                }
            }
        }
        done = true;
    });
    std::vector<std::string> snapshots;
    int round = 0;
    while (!done.load()) {
        if (!clearsStopped.load()) {
            pane.logLine(status);
        }
        snapshots.push_back(pane.snapshot());
        if (lastRecordDue.load()) {
            clearsStopped = true;
        } else if (++round % 7 == 0) {
            pane.clearTerminal();
        }
        std::this_thread::yield();
    }
    rx.join();
    snapshots.push_back(pane.snapshot());

    long last = -1;
    int checkedRecords = 0;
    for (const std::string& snap : snapshots) {
        std::string joined;  // without the pane's own line breaks
        for (char c : snap) {
            if (c != '\r' && c != '\n') {
                joined.push_back(c);
            }
        }
        // Take the status lines out; none may sit inside a whole record.
        std::string stream;
        bool insideWhole = false;
        for (std::size_t pos = 0; pos < joined.size();) {
            if (joined.compare(pos, status.size(), status) == 0) {
                ASSERT_FALSE(insideWhole) << "status line inside an appendBytes record: " << joined;
                pos += status.size();
                continue;
            }
            const char c = joined[pos++];
            if (c == '{') {
                insideWhole = true;
            } else if (c == '}') {
                insideWhole = false;
            }
            stream.push_back(c);
        }
        // The window may start inside a record and the receive thread may be in
        // the middle of one; everything between must be whole consecutive records.
        const std::size_t first = stream.find_first_of("<{");
        if (first == std::string::npos) {
            continue;
        }
        ASSERT_EQ(stream.find('[', first), std::string::npos) << "split status line: " << joined;
        long prev = -1;
        std::size_t pos = first;
        for (; pos + 9 <= stream.size(); pos += 9) {
            const char open = stream[pos];
            const char close = stream[pos + 8];
            ASSERT_TRUE((open == '<' && close == '>') || (open == '{' && close == '}'))
                << "broken record at " << pos << ": " << stream;
            const long value = std::stol(stream.substr(pos + 1, 7));
            if (prev >= 0) {
                ASSERT_EQ(value, prev + 1) << "lost or repeated record in: " << stream;
            }
            prev = value;
            ++checkedRecords;
        }
        ASSERT_TRUE(pos == stream.size() || stream[pos] == '<') << "partial whole record";
        if (prev >= 0) {
            ASSERT_GE(prev, last) << "records went backwards between snapshots";
            last = prev;
        }
    }
    EXPECT_EQ(last, records - 1);
    EXPECT_GT(checkedRecords, 100) << "the check saw too little to mean anything";
}

}  // namespace
}  // namespace modem
