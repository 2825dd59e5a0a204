#include "cli/CliEventWriter.h"

SJsonField JsonText(std::string name, std::string value) {
    return {std::move(name), std::move(value), false};
}

SJsonField JsonNumber(std::string name, int64_t value) {
    return {std::move(name), std::to_string(value), true};
}

std::string JsonQuoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (c == '\n') {
            quoted += "\\n";
        } else if (c == '\r') {
            quoted += "\\r";
        } else if (c == '\t') {
            quoted += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            quoted += escape;
        } else if (byte >= 0x80) {
            // The controller's texts are single bytes; as Latin-1 they stay valid JSON whatever they hold.
            quoted += static_cast<char>(0xC0 | (byte >> 6));
            quoted += static_cast<char>(0x80 | (byte & 0x3F));
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

void CCliEventWriter::Write(const std::string& event, const std::vector<SJsonField>& fields) {
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "," + std::string in Release builds.
    std::string line = "{\"event\":" + JsonQuoted(event);
    for (const SJsonField& field : fields) {
        line += ',';
        line += JsonQuoted(field.strName);
        line += ':';
        line += field.bNumber ? field.strValue : JsonQuoted(field.strValue);
    }
    line += "}\n";
    std::lock_guard<std::mutex> guard(m_lock);
    std::fputs(line.c_str(), m_out);
    std::fflush(m_out);
}

void CCliEventWriter::WriteLine(const std::string& object) {
    std::lock_guard<std::mutex> guard(m_lock);
    std::fputs((object + "\n").c_str(), m_out);
    std::fflush(m_out);
}

void CCliEventWriter::Progress(uint64_t bytes, uint64_t total, uint64_t bitsPerSecond) {
    Write("progress", {JsonNumber("bytes", int64_t(bytes)), JsonNumber("total", int64_t(total)),
                       JsonNumber("bps", int64_t(bitsPerSecond))});
}

void CCliEventWriter::Message(const std::string& text, const std::string& kind) {
    std::vector<SJsonField> fields{JsonText("text", text)};
    if (!kind.empty())
        fields.push_back(JsonText("kind", kind));
    Write("message", fields);
}

void CCliEventWriter::Question(const std::string& text, const std::string& answer) {
    Write("question", {JsonText("text", text), JsonText("answer", answer)});
}

void CCliEventWriter::Result(int code, const std::vector<SJsonField>& fields) {
    std::vector<SJsonField> all{JsonNumber("code", code)};
    all.insert(all.end(), fields.begin(), fields.end());
    Write("result", all);
}
