// A firmware service for native tests. Each exchange takes the next scripted answer; with nothing
// scripted, a service holding the three values answers as the real one does, or, when none is running,
// the exchange fails. Every request is recorded as it was passed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fake_firmware {

struct Request {
    std::string bytes;  // the whole request buffer
    int requestSize;
    int replySize;
};

// Answers the next exchange with the text and its NUL.
void Answer(const std::string& text);
// Answers the next exchange successfully with exactly these bytes written to the reply buffer.
void AnswerBytes(const std::string& bytes);
// Makes the next exchange fail.
void Fail();
// Forgets the script, the recorded requests, the observer and the running service.
void Reset();

struct ServiceValues {
    std::int32_t system0 = 0;
    std::int32_t system1 = 0;
    std::int32_t ap6 = 0;
};
// Runs the service with these values; Service() is its current state.
void RunService(ServiceValues values);
ServiceValues& Service();
// Told of every request's command text, in order with whatever else the observer sees.
void Observe(std::function<void(const std::string&)> observer);

const std::vector<Request>& Requests();
std::vector<std::string> RequestTexts();

}  // namespace fake_firmware
