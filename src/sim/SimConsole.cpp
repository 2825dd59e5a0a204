#include "sim/SimConsole.h"

#include <cstdio>

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kCr = 0x0D;
constexpr const char* kPrompt = "\r\nDXU> ";
constexpr const char* kBanner = "\r\n DXU controller console (type help)";
constexpr const char* kHelp = "\r\n help     this list"
                              "\r\n diag     diagnostic trace and history menu"
                              "\r\n version  the software's version";
constexpr const char* kMenu = "\r\n Diagnostic trace and history menu:"
                              "\r\n =================================="
                              "\r\n 1  alarm history dump"
                              "\r\n 2  trace dump"
                              "\r\n 3  parameter history dump"
                              "\r\n <esc> back to the prompt"
                              "\r\n Choice: ";

struct SDump {
    char cKey;
    const char* pszName;
};
constexpr SDump kDumps[] = {{'1', "alarm history"}, {'2', "trace"}, {'3', "parameter history"}};

const char* DumpName(char key) {
    for (const SDump& dump : kDumps)
        if (dump.cKey == key)
            return dump.pszName;
    return nullptr;
}

std::string Closing(const char* name, const char* word) {
    return std::string("\r\n ") + name + " dump " + word + "\r\n";
}

std::string Format(const char* pattern, auto... values) {
    char line[160];
    std::snprintf(line, sizeof line, pattern, values...);
    return line;
}

} // namespace

std::string CSimConsole::AlarmHistoryDump() {
    static const char* const kAlarms[] = {"drive overtemperature", "supply voltage low", "door open",
                                          "encoder signal lost",   "fieldbus time-out",  "oil pressure low"};
    std::string text = "\r\n alarm history, newest first\r\n";
    for (unsigned i = 0; i < 48; ++i)
        text += Format(" %04u  2026-11-%02u %02u:%02u:%02u  ALM %03u  %s\r\n", 48 - i, 28 - i / 2,
                       (i * 7) % 24, (i * 13) % 60, (i * 29) % 60, 100 + (i * 37) % 400, kAlarms[i % 6]);
    return text + Closing("alarm history", "complete");
}

std::string CSimConsole::TraceDump() {
    static const char* const kStates[] = {"run", "idle", "wait", "scan", "hold"};
    std::string text = "\r\n trace buffer, oldest first\r\n";
    for (unsigned i = 0; i < 400; ++i)
        text += Format(" %05u t=%08u ms  task %u  io %04X  state %s\r\n", i, i * 125 + (i % 7), i % 5,
                       (i * 2654435761u) >> 16 & 0xFFFF, kStates[(i / 3) % 5]);
    return text + Closing("trace", "complete");
}

std::string CSimConsole::ParameterHistoryDump() {
    static const char* const kParameters[] = {"conveyor speed",   "heater set point", "alarm delay",
                                              "fieldbus address", "pump run time",    "door lock delay"};
    std::string text = "\r\n parameter history, newest first\r\n";
    for (unsigned i = 0; i < 64; ++i)
        text += Format(" P%03u  %-20s old %6d  new %6d  by %s\r\n", (i * 11) % 200, kParameters[i % 6],
                       int(i * 37 % 1000) - 200, int(i * 53 % 1000) - 300, i % 3 ? "keypad" : "service port");
    return text + Closing("parameter history", "complete");
}

void CSimConsole::RunLine(std::string& out) {
    const std::string line = m_strLine;
    m_strLine.clear();
    if (line == "diag") {
        m_eState = EState::Menu;
        out += kMenu;
        return;
    }
    if (line == "help" || line == "?")
        out += kHelp;
    else if (line == "version")
        out += "\r\n DXU controller software, simulated";
    else if (!line.empty())
        out += "\r\n unknown command: " + line + " (type help)";
    out += kPrompt;
}

void CSimConsole::Put(uint8_t byte, std::string& out) {
    switch (m_eState) {
    case EState::Prompt:
        if (byte == kEsc) {
            m_strLine.clear();
            out += std::string(kBanner) + kPrompt;
        } else if (byte == kCr) {
            RunLine(out);
        } else if ((byte == 0x08 || byte == 0x7F) && !m_strLine.empty()) {
            m_strLine.pop_back();
            out += "\b \b";
        } else if (byte >= 0x20 && byte < 0x7F && m_strLine.size() < 64) {
            m_strLine += static_cast<char>(byte);
            out += static_cast<char>(byte); // echo
        }
        return;
    case EState::Menu:
        if (byte == kEsc) {
            m_eState = EState::Prompt;
            out += kPrompt;
        } else if (const char* name = DumpName(static_cast<char>(byte))) {
            m_cDump = static_cast<char>(byte);
            m_eState = EState::AwaitEnter;
            out += static_cast<char>(byte);
            out += std::string("\r\n press Enter to start ") + name + " dump, <esc> to abort.\r\n";
        } else if (byte == kCr) {
            out += kMenu;
        }
        return;
    case EState::AwaitEnter:
        if (byte == kCr) {
            out += m_cDump == '1'   ? AlarmHistoryDump()
                   : m_cDump == '2' ? TraceDump()
                                    : ParameterHistoryDump();
            m_eState = EState::Menu;
        } else if (byte == kEsc) {
            out += Closing(DumpName(m_cDump), "abort");
            m_eState = EState::Menu;
        }
        return;
    }
}
