// The traffic log: in debug mode every frame sent and received is dumped as
// hex and as text, 16 bytes a line, into the communication window's lists
// (oldest line first) and the debug window's lists (newest line first).
#include "protocol/protocol.h"

#include <algorithm>

namespace {

constexpr int bytesPerLine = 16;
constexpr int maxListLines = 255; // a list holding more lines is cleared before the next one
constexpr Byte firstPrintable = 0x20;
constexpr Integer statusReplyDataLength = 74; // the data bytes of a "RAST" reply
const QString debugHexSuffix = QStringLiteral("   ");
const QString statusRequestText = QStringLiteral("RAST");

// A byte in hex as the format "@@" gives it: two characters, right-aligned,
// upper-case.
QString HexPair(Byte value) {
    return QStringLiteral("%1")
        .arg(static_cast<unsigned>(value), 2, 16, QLatin1Char(' '))
        .toUpper();
}

QChar TextChar(Byte value) {
    return value < firstPrintable ? QLatin1Char('.') : QChar(static_cast<char16_t>(value));
}

void ClearWhenFull(ListBox& list) {
    if (list.ListCount() > maxListLines) {
        list.Clear();
    }
}

} // namespace

void LogFrame(LinkRecord& link, TrafficDirection direction, Integer length) {
    if (programSetup.debugMode != flagTrue) {
        return;
    }
    if (direction != TrafficDirection::Sent && direction != TrafficDirection::Received) {
        return; // there are lists for sent and received frames only
    }
    // The frame is copied into the scratch buffer; the copy never runs past
    // the scratch buffer nor past the buffer it comes from.
    const bool received = direction == TrafficDirection::Received;
    const Byte* source = received ? link.replyBuffer.data() : link.sendBuffer.data();
    const int sourceSize = received ? replyBufferSize : sendBufferSize;
    const int count =
        std::clamp(static_cast<int>(length), 0, std::min(sourceSize, buildBufferSize));
    std::copy_n(source, count, link.buildBuffer.begin());

    const auto hexItem = static_cast<std::size_t>(2 * Value(direction));
    const std::size_t textItem = hexItem + 1;
    const bool filtering = programSetup.statusLogFilter == flagTrue;
    for (int start = 0; start < count; start += bytesPerLine) {
        QString hex;
        QString text;
        const int end = std::min(start + bytesPerLine, count);
        for (int i = start; i < end; ++i) {
            const Byte value = link.buildBuffer[static_cast<std::size_t>(i)];
            hex += HexPair(value);
            text += TextChar(value);
        }

        ClearWhenFull(trafficLists.comm[hexItem]);
        ClearWhenFull(trafficLists.comm[textItem]);
        trafficLists.comm[hexItem].AddItem(hex);
        trafficLists.comm[textItem].AddItem(text);

        // The periodic status request stays out of the debug window.
        if (filtering && text == statusRequestText) {
            return;
        }
        ClearWhenFull(trafficLists.debug[hexItem]);
        ClearWhenFull(trafficLists.debug[textItem]);
        if (!filtering || length != statusReplyDataLength) {
            trafficLists.debug[hexItem].InsertItem(hex + debugHexSuffix);
            trafficLists.debug[textItem].InsertItem(text);
        }
    }
}
