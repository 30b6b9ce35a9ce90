#include "firmware_sim/journal.h"

#include <windows.h>

namespace firmware_sim {

bool Journal::Open(const std::wstring& path)
{
    std::lock_guard lock(mutex_);
    file_ = UniqueHandle(CreateFileW(path.c_str(), GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file_);
}

void Journal::Write(std::string_view line)
{
    std::lock_guard lock(mutex_);
    if (!file_)
        return;
    std::string text(line);
    text += '\n';
    DWORD written = 0;
    WriteFile(file_.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace firmware_sim
