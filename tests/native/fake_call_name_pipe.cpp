#include "fake_call_name_pipe.h"

#include <cstring>
#include <deque>

#include "firmware/orv_call_name_pipe.h"

namespace fake_firmware {
namespace {

struct Scripted {
    bool succeed;
    std::string bytes;
};

std::deque<Scripted> g_script;
std::vector<Request> g_requests;
bool g_serviceRunning = false;
ServiceValues g_service;
std::function<void(const std::string&)> g_observer;

constexpr char kSetAp6[] = "root\\WMI:S:ORV_AP:AP:6:";

// The service's answer to a command, or false when it refuses it.
bool Serve(const std::string& command, std::string* answer)
{
    if (command == "root\\WMI:Q:ORV_System:System:0") {
        *answer = std::to_string(g_service.system0);
    } else if (command == "root\\WMI:Q:ORV_System:System:1") {
        *answer = std::to_string(g_service.system1);
    } else if (command == "root\\WMI:Q:ORV_AP:AP:6") {
        *answer = std::to_string(g_service.ap6);
    } else if (command.rfind(kSetAp6, 0) == 0) {
        g_service.ap6 = static_cast<std::int32_t>(std::stol(command.substr(sizeof(kSetAp6) - 1)));
        *answer = std::to_string(g_service.ap6);
    } else {
        return false;
    }
    return true;
}

}  // namespace

void Answer(const std::string& text)
{
    g_script.push_back({true, text + '\0'});
}

void AnswerBytes(const std::string& bytes)
{
    g_script.push_back({true, bytes});
}

void Fail()
{
    g_script.push_back({false, {}});
}

void Reset()
{
    g_script.clear();
    g_requests.clear();
    g_serviceRunning = false;
    g_service = {};
    g_observer = nullptr;
}

void RunService(ServiceValues values)
{
    g_serviceRunning = true;
    g_service = values;
}

ServiceValues& Service()
{
    return g_service;
}

void Observe(std::function<void(const std::string&)> observer)
{
    g_observer = std::move(observer);
}

const std::vector<Request>& Requests()
{
    return g_requests;
}

std::vector<std::string> RequestTexts()
{
    std::vector<std::string> texts;
    for (const Request& request : g_requests) {
        texts.emplace_back(request.bytes.c_str());
    }
    return texts;
}

}  // namespace fake_firmware

extern "C" int ORV_CallNamePipe(const char* request, int requestSize, char* reply, int replySize)
{
    using namespace fake_firmware;
    g_requests.push_back(
        {std::string(request, static_cast<std::size_t>(requestSize)), requestSize, replySize});
    const std::string command(request);
    if (g_observer) {
        g_observer(command);
    }
    if (g_script.empty()) {
        std::string answer;
        if (!g_serviceRunning || !Serve(command, &answer)) {
            return 0;
        }
        std::memcpy(reply, answer.c_str(), answer.size() + 1);
        return 1;
    }
    const Scripted next = g_script.front();
    g_script.pop_front();
    if (!next.succeed) {
        return 0;
    }
    std::memcpy(reply, next.bytes.data(),
                std::min<std::size_t>(next.bytes.size(), static_cast<std::size_t>(replySize)));
    return 1;
}
