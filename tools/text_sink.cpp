#include "tools/text_sink.h"

#include <cerrno>

void text_sink_drain(TextSink& sink, bool force) {
    if (sink.stream == nullptr) return;
    if (!force && sink.pending.size() < kDrainBytes) return;
    if (!sink.failed) {
        errno = 0;
        const bool written = std::fwrite(sink.pending.data(), 1, sink.pending.size(),
                                         sink.stream) == sink.pending.size();
        if (!written || (force && std::fflush(sink.stream) != 0)) {
            sink.failed = true;
            sink.error_number = errno;
        }
    }
    sink.pending.clear();
}
