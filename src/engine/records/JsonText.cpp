#include "engine/records/JsonText.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

std::string JsonQuote(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c > 0x7E) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

void CJsonObjectWriter::Key(const std::string& key) {
    if (m_text.size() > 1)
        m_text += ',';
    m_text += JsonQuote(key) + ':';
}

CJsonObjectWriter& CJsonObjectWriter::Add(const std::string& key, const std::string& value) {
    Key(key);
    m_text += JsonQuote(value);
    return *this;
}

CJsonObjectWriter& CJsonObjectWriter::Add(const std::string& key, int64_t value) {
    Key(key);
    m_text += std::to_string(value);
    return *this;
}

CJsonObjectWriter& CJsonObjectWriter::Add(const std::string& key, uint64_t value) {
    Key(key);
    m_text += std::to_string(value);
    return *this;
}

CJsonObjectWriter& CJsonObjectWriter::Add(const std::string& key, bool value) {
    Key(key);
    m_text += value ? "true" : "false";
    return *this;
}

CJsonObjectWriter& CJsonObjectWriter::Add(const std::string& key, const std::vector<std::string>& values) {
    Key(key);
    m_text += '[';
    for (size_t i = 0; i < values.size(); ++i) {
        if (i)
            m_text += ',';
        m_text += JsonQuote(values[i]);
    }
    m_text += ']';
    return *this;
}

CJsonObjectWriter& CJsonObjectWriter::AddRaw(const std::string& key, const std::string& json) {
    Key(key);
    m_text += json;
    return *this;
}

const CJsonValue& CJsonValue::operator[](const std::string& key) const {
    static const CJsonValue kNull;
    const auto found = m_members.find(key);
    return found == m_members.end() ? kNull : found->second;
}

int64_t CJsonValue::Integer() const {
    // Converting a double outside int64_t's range is undefined: a hostile line could reach it.
    constexpr double kTwoTo63 = 9223372036854775808.0;
    if (std::isnan(m_dNumber))
        return 0;
    if (m_dNumber >= kTwoTo63)
        return INT64_MAX;
    if (m_dNumber < -kTwoTo63)
        return INT64_MIN;
    return static_cast<int64_t>(m_dNumber);
}

std::string CJsonValue::Text() const {
    switch (m_nKind) {
    case EKind::String:
        return m_strText;
    case EKind::Bool:
        return m_bBool ? "true" : "false";
    case EKind::Number: {
        if (std::floor(m_dNumber) == m_dNumber && std::fabs(m_dNumber) < 1e15)
            return std::to_string(static_cast<int64_t>(m_dNumber));
        char text[32];
        std::snprintf(text, sizeof text, "%g", m_dNumber);
        return text;
    }
    default:
        return std::string();
    }
}

// Recursive descent over the text; nesting is limited so that a hostile line cannot exhaust the stack.
class CJsonParser {
public:
    explicit CJsonParser(const std::string& text) : m_text(text) {}

    bool ParseAll(CJsonValue& value) {
        if (!ParseValue(value, 0))
            return false;
        SkipSpace();
        return m_pos == m_text.size();
    }

private:
    static constexpr int kMaxDepth = 64;

    void SkipSpace() {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' ||
                                         m_text[m_pos] == '\n' || m_text[m_pos] == '\r'))
            ++m_pos;
    }

    bool Literal(const char* word) {
        const std::string w(word);
        if (m_text.compare(m_pos, w.size(), w) != 0)
            return false;
        m_pos += w.size();
        return true;
    }

    static void AppendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    bool ParseString(std::string& out) {
        if (m_pos >= m_text.size() || m_text[m_pos] != '"')
            return false;
        ++m_pos;
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return false;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_pos >= m_text.size())
                return false;
            const char e = m_text[m_pos++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out += e;
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                if (m_pos + 4 > m_text.size())
                    return false;
                unsigned code = 0;
                for (int i = 0; i < 4; ++i) {
                    const char h = m_text[m_pos++];
                    code <<= 4;
                    if (h >= '0' && h <= '9')
                        code |= static_cast<unsigned>(h - '0');
                    else if (h >= 'a' && h <= 'f')
                        code |= static_cast<unsigned>(h - 'a' + 10);
                    else if (h >= 'A' && h <= 'F')
                        code |= static_cast<unsigned>(h - 'A' + 10);
                    else
                        return false;
                }
                // Our writer escapes single bytes as \u00XX; they come back as those bytes.
                if (code < 0x100)
                    out += static_cast<char>(code);
                else
                    AppendUtf8(out, code);
                break;
            }
            default:
                return false;
            }
        }
        return false;
    }

    bool ParseNumber(double& number) {
        const size_t start = m_pos;
        if (m_pos < m_text.size() && m_text[m_pos] == '-')
            ++m_pos;
        const size_t digits = m_pos;
        while (m_pos < m_text.size() &&
               std::string("0123456789.eE+-").find(m_text[m_pos]) != std::string::npos)
            ++m_pos;
        if (m_pos == digits)
            return false;
        const std::string text = m_text.substr(start, m_pos - start);
        char* end = nullptr;
        number = std::strtod(text.c_str(), &end);
        return end == text.c_str() + text.size();
    }

    bool ParseValue(CJsonValue& value, int depth) {
        if (depth > kMaxDepth)
            return false;
        SkipSpace();
        if (m_pos >= m_text.size())
            return false;
        const char c = m_text[m_pos];
        if (c == '{') {
            ++m_pos;
            value.m_nKind = CJsonValue::EKind::Object;
            SkipSpace();
            if (m_pos < m_text.size() && m_text[m_pos] == '}') {
                ++m_pos;
                return true;
            }
            for (;;) {
                SkipSpace();
                std::string key;
                if (!ParseString(key))
                    return false;
                SkipSpace();
                if (m_pos >= m_text.size() || m_text[m_pos++] != ':')
                    return false;
                CJsonValue member;
                if (!ParseValue(member, depth + 1))
                    return false;
                value.m_members[key] = std::move(member);
                SkipSpace();
                if (m_pos >= m_text.size())
                    return false;
                const char next = m_text[m_pos++];
                if (next == '}')
                    return true;
                if (next != ',')
                    return false;
            }
        }
        if (c == '[') {
            ++m_pos;
            value.m_nKind = CJsonValue::EKind::Array;
            SkipSpace();
            if (m_pos < m_text.size() && m_text[m_pos] == ']') {
                ++m_pos;
                return true;
            }
            for (;;) {
                CJsonValue item;
                if (!ParseValue(item, depth + 1))
                    return false;
                value.m_items.push_back(std::move(item));
                SkipSpace();
                if (m_pos >= m_text.size())
                    return false;
                const char next = m_text[m_pos++];
                if (next == ']')
                    return true;
                if (next != ',')
                    return false;
            }
        }
        if (c == '"') {
            value.m_nKind = CJsonValue::EKind::String;
            return ParseString(value.m_strText);
        }
        if (Literal("true") || Literal("false")) {
            value.m_nKind = CJsonValue::EKind::Bool;
            value.m_bBool = m_text[m_pos - 1] == 'e' && m_text[m_pos - 2] == 'u';
            return true;
        }
        if (Literal("null")) {
            value.m_nKind = CJsonValue::EKind::Null;
            return true;
        }
        value.m_nKind = CJsonValue::EKind::Number;
        return ParseNumber(value.m_dNumber);
    }

    const std::string& m_text;
    size_t m_pos = 0;
};

bool CJsonValue::Parse(const std::string& text, CJsonValue& value) {
    value = CJsonValue();
    CJsonParser parser(text);
    return parser.ParseAll(value);
}
