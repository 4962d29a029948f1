#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "cli/standard_streams.h"

namespace modem::cli {

StandardStreams::StandardStreams() {
    // Text mode would turn every LF written into CR LF (so CR LF into CR CR LF)
    // and drop the CR of every CR LF read.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // The answers printed are UTF-8; a console shows them right only when told.
    const UINT current = GetConsoleOutputCP();
    if (current != 0 && current != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
        m_savedOutputCodePage = current;
    }
}

StandardStreams::~StandardStreams() {
    std::fflush(stdout);
    std::fflush(stderr);
    if (m_savedOutputCodePage != 0) {
        SetConsoleOutputCP(m_savedOutputCodePage);
    }
}

}  // namespace modem::cli
