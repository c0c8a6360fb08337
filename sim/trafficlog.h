// The traffic log on standard error. One line per event, each starting with
// the milliseconds since the simulator started:
//   <ms> rx <CODE> [<hh> ...]     a frame received: its four-letter code and its
//                                 parameter bytes in hex
//   <ms> rx ? <hh> ...            a frame whose code is not four printable
//                                 letters: all its bytes in hex
//   <ms> rx ? overlong <n> bytes  a frame longer than the frame buffer
//   <ms> tx A                     acknowledgement without data
//   <ms> tx A +<n> bytes          acknowledgement with n data bytes
//   <ms> tx N                     negative acknowledgement
//   <ms> tx none (silent)         no reply: the mixer is silent
// A tx line may end in "(fault: ...)" when an injected fault changed the reply.
// Other lines: "<ms> info ...", "<ms> warning: ...", "<ms> error: ...".
#pragma once

#include <QElapsedTimer>

#include <string_view>

namespace sim {

class TrafficLog {
public:
    TrafficLog();
    void Line(std::string_view text) const;
    qint64 ElapsedMs() const { return clock_.elapsed(); }

private:
    QElapsedTimer clock_;
};

} // namespace sim
