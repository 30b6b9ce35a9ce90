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
    if (g_script.empty()) {
        return 0;
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
