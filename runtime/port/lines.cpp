#include "runtime/port/lines.h"

namespace vrel::port {

void LineReader::Feed(std::string_view bytes, std::vector<LineEvent>* events) {
    while (!bytes.empty()) {
        const size_t newline = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, newline);
        if (!skipping_) {
            if (pending_.size() + piece.size() < maxLineBytes_) {
                pending_.append(piece);
            } else {
                events->push_back(LineEvent{true, {}});
                pending_.clear();
                skipping_ = true;
            }
        }
        if (newline == std::string_view::npos) {
            return;
        }
        if (!skipping_) {
            events->push_back(LineEvent{false, std::move(pending_)});
        }
        pending_.clear();
        skipping_ = false;
        bytes.remove_prefix(newline + 1);
    }
}

}  // namespace vrel::port
