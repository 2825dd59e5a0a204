// Small JSON for the program's own line formats: a writer of one-line objects and a reader of any JSON
// value (what an older or newer program version wrote must still be readable).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A JSON string literal for text, quotes included; control characters and non-ASCII bytes are escaped
// (bytes above 0x7F as \u00XX, so that any text the controller sends stays valid JSON).
std::string JsonQuote(const std::string& text);

// Builds one object on one line: {"a":1,"b":"x"}.
class CJsonObjectWriter {
public:
    CJsonObjectWriter& Add(const std::string& key, const std::string& value);
    CJsonObjectWriter& Add(const std::string& key, const char* value) { return Add(key, std::string(value)); }
    CJsonObjectWriter& Add(const std::string& key, int64_t value);
    CJsonObjectWriter& Add(const std::string& key, int value) {
        return Add(key, static_cast<int64_t>(value));
    }
    CJsonObjectWriter& Add(const std::string& key, uint64_t value);
    CJsonObjectWriter& Add(const std::string& key, bool value);
    CJsonObjectWriter& Add(const std::string& key, const std::vector<std::string>& values);
    // A value already in JSON (a nested object).
    CJsonObjectWriter& AddRaw(const std::string& key, const std::string& json);
    std::string Text() const { return m_text + "}"; }

private:
    void Key(const std::string& key);
    std::string m_text = "{";
};

// A parsed JSON value.
class CJsonValue {
public:
    enum class EKind { Null, Bool, Number, String, Array, Object };

    // False for text that is not one complete JSON value.
    static bool Parse(const std::string& text, CJsonValue& value);

    EKind Kind() const { return m_nKind; }
    bool IsObject() const { return m_nKind == EKind::Object; }
    // Member of an object; a null value when absent.
    const CJsonValue& operator[](const std::string& key) const;
    bool Has(const std::string& key) const { return m_members.count(key) != 0; }
    const std::vector<CJsonValue>& Items() const { return m_items; }
    // The value as text (strings as they are, numbers and booleans written out, others empty).
    std::string Text() const;
    // The number cut to a whole one; beyond int64_t's range (1e999 reads as infinity) it saturates.
    int64_t Integer() const;
    double Number() const { return m_dNumber; }
    bool Bool() const { return m_bBool; }

private:
    friend class CJsonParser;
    EKind m_nKind = EKind::Null;
    bool m_bBool = false;
    double m_dNumber = 0;
    std::string m_strText;
    std::vector<CJsonValue> m_items;
    std::map<std::string, CJsonValue> m_members;
};
