#include <cstring>

#include "fakes.h"
#include "firmware/orv_call_name_pipe.h"

extern "C" int ORV_CallNamePipe(const char* request, int requestSize, char* reply, int replySize)
{
    using namespace fake_firmware;
    const std::string command(request, strnlen(request, static_cast<std::size_t>(requestSize)));
    if (requestSize != 80 || replySize != 800 ||
        command + std::string(80 - command.size(), '\0') !=
            std::string(request, static_cast<std::size_t>(requestSize))) {
        log.push_back("bad request " + command);
        return 0;
    }
    log.push_back(command);
    std::optional<std::string> answer;
    if (down || (setsFail && command.rfind(set, 0) == 0)) {
        return 0;
    }
    if (!script.empty()) {
        answer = script.front();
        script.pop_front();
    } else if (command == q0 || command == q1 || command == ap6 || command.rfind(set, 0) == 0) {
        service.ap6 = command.rfind(set, 0) == 0 ? std::stoi(command.substr(set.size())) : service.ap6;
        const std::int32_t value = command == q0   ? service.system0
                                   : command == q1 ? service.system1
                                                   : service.ap6;
        answer = std::to_string(value) + '\0';
    }
    if (answer) {
        std::memcpy(reply, answer->data(), std::min<std::size_t>(answer->size(), 800));
    }
    return answer ? 1 : 0;
}
