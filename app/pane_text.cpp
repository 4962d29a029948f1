#include "app/pane_text.h"

#include "ui/cp1251.h"

namespace modem {

namespace {

constexpr char16_t controlPicturesBase = 0x2400;  // U+2400..U+241F for bytes 0x00..0x1F
constexpr char16_t deletePicture = 0x2421;
// 0x98 is the one byte code page 1251 leaves unassigned; shown as the
// replacement character so that it comes back as itself, not as "?".
constexpr unsigned char unassignedByte = 0x98;
constexpr char16_t unassignedShown = 0xFFFD;

bool isLineBreakAt(std::string_view bytes, std::size_t i) {
    return bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n';
}

bool isControl(unsigned char b) {
    return b < 0x20 || b == 0x7F;
}

QChar pictureOf(unsigned char b) {
    return QChar(b == 0x7F ? deletePicture : static_cast<char16_t>(controlPicturesBase + b));
}

}  // namespace

QString bytesToDisplay(std::string_view bytes) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    std::size_t runStart = 0;
    auto flushRun = [&](std::size_t end) {
        if (end > runStart) {
            out += QString::fromStdString(cp1251ToUtf8(bytes.substr(runStart, end - runStart)));
        }
    };
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (!isControl(b) && b != unassignedByte) {
            continue;
        }
        flushRun(i);
        if (b == unassignedByte) {
            out += QChar(unassignedShown);
        } else if (isLineBreakAt(bytes, i)) {
            out += QLatin1Char('\n');
            ++i;
        } else {
            out += pictureOf(b);
        }
        runStart = i + 1;
    }
    flushRun(bytes.size());
    return out;
}

std::string displayToBytes(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    QString run;
    auto flushRun = [&] {
        if (!run.isEmpty()) {
            out += utf8ToCp1251(run.toStdString());
            run.clear();
        }
    };
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\n' || u == QChar::ParagraphSeparator || u == QChar::LineSeparator) {
            flushRun();
            out += "\r\n";
        } else if (u >= controlPicturesBase && u < controlPicturesBase + 0x20) {
            flushRun();
            out += static_cast<char>(u - controlPicturesBase);
        } else if (u == deletePicture) {
            flushRun();
            out += '\x7F';
        } else if (u == unassignedShown) {
            flushRun();
            out += static_cast<char>(unassignedByte);
        } else {
            run += c;
        }
    }
    flushRun();
    return out;
}

std::size_t byteOffsetOf(std::string_view bytes, int displayPosition) {
    std::size_t i = 0;
    for (int shown = 0; shown < displayPosition && i < bytes.size(); ++shown) {
        i += isLineBreakAt(bytes, i) ? 2 : 1;
    }
    return i;
}

}  // namespace modem
