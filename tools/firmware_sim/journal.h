// The simulator's journal: one LF-terminated line per exchange, event and control command, written
// straight to the file so that a test reading it sees every line at once.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include "platform/unique_handle.h"

namespace firmware_sim {

class Journal {
public:
    // Without a file, lines are dropped.
    Journal() = default;

    // Creates the file anew; false when it cannot be created.
    bool Open(const std::wstring& path);
    void Write(std::string_view line);

private:
    std::mutex mutex_;
    UniqueHandle file_;
};

}  // namespace firmware_sim
