// A scripted firmware service for the settings channel's tests: each exchange takes the next
// scripted answer and records the request as it was passed.
#pragma once

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
// Forgets the script and the recorded requests; an exchange with nothing scripted fails.
void Reset();

const std::vector<Request>& Requests();
std::vector<std::string> RequestTexts();

}  // namespace fake_firmware
