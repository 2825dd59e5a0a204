// dravik-cli's --json output: one JSON object per line on standard output for every event of a run
// (progress, message, question, result), so a front end or a fleet script can follow it. Any thread may
// write; lines never interleave.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

struct SJsonField {
    std::string strName;
    std::string strValue;
    bool bNumber = false; // written as it stands instead of as a string
};

SJsonField JsonText(std::string name, std::string value);
SJsonField JsonNumber(std::string name, int64_t value);
// The text as a JSON string literal, quotes included.
std::string JsonQuoted(const std::string& text);

class CCliEventWriter {
public:
    explicit CCliEventWriter(std::FILE* out = stdout) : m_out(out) {}

    void Progress(uint64_t bytes, uint64_t total, uint64_t bitsPerSecond);
    // kind: "status" for the status bar's texts, empty for what a window would show.
    void Message(const std::string& text, const std::string& kind = std::string());
    void Question(const std::string& text, const std::string& answer);
    // The run's exit code and what the command found (protocol, version, state...).
    void Result(int code, const std::vector<SJsonField>& fields = {});
    // Any other event: {"event":NAME, fields...}.
    void Write(const std::string& event, const std::vector<SJsonField>& fields);
    // An event already written as a JSON object (a child's, passed on), without its line end.
    void WriteLine(const std::string& object);

private:
    std::mutex m_lock;
    std::FILE* m_out;
};
