#include "sim/trafficlog.h"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace sim {

TrafficLog::TrafficLog() {
    clock_.start();
}

void TrafficLog::Line(std::string_view text) const {
    std::string line = std::to_string(clock_.elapsed());
    line += ' ';
    line += text;
    line += '\n';
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return; // standard error is gone; the simulator carries on without its log
        }
        done += static_cast<std::size_t>(n);
    }
}

} // namespace sim
