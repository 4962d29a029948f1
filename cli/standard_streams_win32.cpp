#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <optional>
#include <streambuf>
#include <string>

#include "cli/standard_streams.h"
#include "cli/utf8_chunks.h"
#include "link/utf8_win32.h"

namespace modem::cli {

namespace {

// UTF-8 written to a console as UTF-16 text. Writing the bytes would need the
// console's code page set to UTF-8, a setting of the console that outlives the
// program when it is ended by Ctrl+C or killed; and Windows 7's console
// miscounts such writes by characters, repeating the end of every line.
class ConsoleBuffer : public std::streambuf {
public:
    explicit ConsoleBuffer(HANDLE console) : m_console(console) {}
    ~ConsoleBuffer() override { (void)write(m_chunks.rest()); }
    ConsoleBuffer(const ConsoleBuffer&) = delete;
    ConsoleBuffer& operator=(const ConsoleBuffer&) = delete;

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        const char byte = traits_type::to_char_type(c);
        return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
    }

    std::streamsize xsputn(const char* text, std::streamsize count) override {
        m_pending.append(text, static_cast<std::size_t>(count));
        // A line at a time, so that what is printed shows as it is printed.
        if (m_pending.size() >= flushSize || m_pending.find('\n') != std::string::npos) {
            if (sync() != 0) {
                return 0;
            }
        }
        return count;
    }

    int sync() override {
        const std::string whole = m_chunks.take(m_pending);
        m_pending.clear();
        return write(whole) ? 0 : -1;
    }

private:
    static constexpr std::size_t flushSize = 4096;  // bytes
    static constexpr std::size_t writeSize = 8192;  // UTF-16 units in one call

    bool write(const std::string& utf8) {
        const std::wstring text = widenUtf8(utf8);
        for (std::size_t at = 0; at < text.size();) {
            const auto count = static_cast<DWORD>(std::min(writeSize, text.size() - at));
            DWORD written = 0;
            if (!WriteConsoleW(m_console, text.data() + at, count, &written, nullptr) ||
                written == 0) {
                return false;
            }
            at += written;
        }
        return true;
    }

    HANDLE m_console;
    std::string m_pending;
    Utf8Chunks m_chunks;
};

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

// One stream shown on its console while this lives.
class ConsoleStream {
public:
    ConsoleStream(std::ostream& stream, HANDLE console)
        : m_stream(stream), m_buffer(console), m_saved(stream.rdbuf(&m_buffer)) {}
    ~ConsoleStream() {
        m_stream.flush();
        m_stream.rdbuf(m_saved);
    }
    ConsoleStream(const ConsoleStream&) = delete;
    ConsoleStream& operator=(const ConsoleStream&) = delete;

private:
    std::ostream& m_stream;
    ConsoleBuffer m_buffer;
    std::streambuf* m_saved;
};

}  // namespace

struct StandardStreams::Consoles {
    std::optional<ConsoleStream> out;
    std::optional<ConsoleStream> err;
};

StandardStreams::StandardStreams() : m_consoles(std::make_unique<Consoles>()) {
    // Text mode would turn every LF written into CR LF (so CR LF into CR CR LF)
    // and drop the CR of every CR LF read.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    if (const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE); isConsole(out)) {
        m_consoles->out.emplace(std::cout, out);
    }
    if (const HANDLE err = GetStdHandle(STD_ERROR_HANDLE); isConsole(err)) {
        m_consoles->err.emplace(std::cerr, err);
    }
}

StandardStreams::~StandardStreams() {
    m_consoles.reset();
    std::fflush(stdout);
    std::fflush(stderr);
}

// A console redraws only with its virtual terminal processing on, which is
// the console's own setting: it is looked at, never changed.
bool standardErrorRedraws() {
    DWORD mode = 0;
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    return isConsole(err) && GetConsoleMode(err, &mode) &&
           (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

}  // namespace modem::cli
