#include "sim/SimController.h"

#include "platform/Clock.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <utility>

namespace {

// Commands of the protocol, and those that answer DONE after OK.
const char kCommandLetters[] = "40AB3572"
                               "1EFHGIJLK";
const char kDoneLetters[] = "0AB321";
// An unfinished frame is dropped after this much silence, so that a lost byte cannot swallow later commands.
constexpr uint32_t kFrameSilenceMs = 2000;
// The hex ZRQINIT header a ZModem sender opens with: "**", ZDLE, 'B', then the type "00".
const uint8_t kZrqinitStart[] = {'*', '*', 0x18, 'B', '0'};
// The controller's "ready" and "stored" sign around a configuration download.
constexpr uint8_t kSimStar = '*';
// How often a transfer is looked at when rz's descriptor cannot be polled, in real time.
constexpr auto kBridgeTick = std::chrono::milliseconds(5);

bool Contains(const char* letters, char letter) {
    return letter != 0 && std::strchr(letters, letter) != nullptr;
}

bool DueBy(uint32_t dueMs, uint32_t nowMs) {
    return static_cast<int32_t>(nowMs - dueMs) >= 0;
}

std::string Command(char letter) {
    return std::string("+++") + letter;
}

std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof(text), "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

// What each erase command clears, by the controller's state: first and last address; none when last <
// first. In the BIOS the communication board's memory is not in the address map.
struct EraseRange {
    uint32_t nFirst;
    uint32_t nLast;
};

EraseRange EraseRangeOf(char letter, bool bBootstrap) {
    switch (letter) {
    case '0':
        return bBootstrap ? EraseRange{0x10000, 0x1CFFFF} : EraseRange{0, 0x100000};
    case '1':
    case '2':
        return bBootstrap ? EraseRange{0x1E0000, 0xFFFFFFFF} : EraseRange{0x100001, 0xFFFFFFFF};
    case 'A':
        return bBootstrap ? EraseRange{0x1D0000, 0x1DFFFF} : EraseRange{1, 0};
    default:
        return EraseRange{1, 0};
    }
}

} // namespace

CSimController::CSimController(const SimOptions& options, CSimTrace* pTrace, uint32_t startMs)
    : m_options(options), m_pTrace(pTrace), m_nStartMs(startMs),
      m_writer(pTrace, HasFault(SimFaultKind::Crlf), HasFault(SimFaultKind::Silent)),
      m_receiveFolder(options.strReceiveDir, options.bReceiveFiles) {}

bool CSimController::HasFault(SimFaultKind kind) const {
    return std::any_of(m_options.faults.begin(), m_options.faults.end(),
                       [kind](const SimFault& fault) { return fault.nKind == kind; });
}

const SimFault* CSimController::FindLetterFault(char letter) const {
    // The first matching option wins; error-once stops matching once it has fired.
    for (const SimFault& fault : m_options.faults) {
        if (fault.cLetter != letter)
            continue;
        if (fault.nKind == SimFaultKind::ErrorOnce && m_errorOnceUsed.count(letter) != 0)
            continue;
        if (fault.nKind == SimFaultKind::ErrorOnce || fault.nKind == SimFaultKind::ErrorAlways ||
            fault.nKind == SimFaultKind::FailDone || fault.nKind == SimFaultKind::NoAnswer)
            return &fault;
    }
    return nullptr;
}

const SimFault* CSimController::FindFrameFault(unsigned frame) const {
    for (const SimFault& fault : m_options.faults) {
        if (fault.nFrame == frame &&
            (fault.nKind == SimFaultKind::DropAck || fault.nKind == SimFaultKind::WrongAck ||
             fault.nKind == SimFaultKind::IgnoreFrame || fault.nKind == SimFaultKind::HangUp))
            return &fault;
    }
    return nullptr;
}

uint32_t CSimController::WindowMs(uint32_t clockMs) const {
    const auto floorMs =
        static_cast<uint32_t>(CClock::Instance().ClockMilliseconds(CClock::kShortestTimeout));
    return std::max(clockMs, floorMs);
}

void CSimController::Trace(uint32_t nowMs, bool bRx, unsigned speed, const std::vector<uint8_t>& bytes,
                           const std::string& meaning) {
    if (m_pTrace)
        m_pTrace->Write(nowMs - m_nStartMs, bRx, speed, bytes.data(), bytes.size(), meaning);
}

void CSimController::PrepareWriter(uint32_t nowMs) {
    m_writer.SetContext(nowMs - m_nStartMs, m_nLineSpeed);
}

void CSimController::Schedule(uint32_t dueMs, ActionKind kind, char letter) {
    m_actions.push_back(TimedAction{dueMs, kind, letter});
}

void CSimController::ToConsole(uint8_t byte, unsigned speed, uint32_t nowMs) {
    std::string answer;
    m_console.Put(byte, answer);
    Trace(nowMs, true, speed, {byte}, "console");
    if (!answer.empty())
        m_writer.Bytes(std::vector<uint8_t>(answer.begin(), answer.end()), "console");
}

void CSimController::AddStray(uint8_t byte, unsigned speed) {
    if (m_stray.empty())
        m_nStraySpeed = speed;
    m_stray.push_back(byte);
}

void CSimController::FlushStray(uint32_t nowMs) {
    if (m_stray.empty())
        return;
    Trace(nowMs, true, m_nStraySpeed, m_stray, "unexpected bytes");
    m_stray.clear();
}

void CSimController::Receive(const uint8_t* data, size_t length, unsigned speed, uint32_t nowMs) {
    m_nLineSpeed = speed;
    {
        std::lock_guard<std::mutex> guard(m_statsLock);
        m_speeds.insert(speed);
    }
    PrepareWriter(nowMs);
    if (m_bridge.IsRunning()) {
        Trace(nowMs, true, speed, std::vector<uint8_t>(data, data + length), "zmodem");
        m_bridge.Put(data, length);
        PumpBridge(nowMs);
        return;
    }
    for (size_t i = 0; i < length; ++i) {
        const uint8_t byte = data[i];
        if (m_options.bReceiveFiles && !m_frameReceiver.IsActive()) {
            if (byte == kZrqinitStart[m_nZrqinitMatched])
                ++m_nZrqinitMatched;
            else if (byte == '*')
                m_nZrqinitMatched = m_nZrqinitMatched == 2 ? 2 : 1; // "***" still ends in "**"
            else
                m_nZrqinitMatched = 0;
            if (m_nZrqinitMatched == sizeof(kZrqinitStart)) {
                m_nZrqinitMatched = 0;
                // The header's first bytes went to the stray bytes: rz is to have them instead.
                const size_t before = sizeof(kZrqinitStart) - 1;
                if (m_stray.size() >= before)
                    m_stray.resize(m_stray.size() - before);
                m_parser = CSimCommandParser{};
                FlushStray(nowMs);
                std::vector<uint8_t> opening(std::begin(kZrqinitStart), std::end(kZrqinitStart) - 1);
                opening.insert(opening.end(), data + i, data + length);
                StartBridge(opening, speed, nowMs);
                return;
            }
        }
        if (m_frameReceiver.IsActive()) {
            if (m_frameReceiver.Put(byte, speed, nowMs))
                HandleFrame(m_frameReceiver.Take(), nowMs);
            continue;
        }
        switch (m_parser.Put(byte)) {
        case CSimCommandParser::Result::Pending:
            continue;
        case CSimCommandParser::Result::ExtraPlus:
            AddStray('+', speed);
            continue;
        case CSimCommandParser::Result::Command:
            FlushStray(nowMs);
            if (m_parser.Letter() == 'C' || m_parser.Letter() == 'D')
                HandleProbe(m_parser.Letter(), speed, nowMs);
            else
                HandleCommand(m_parser.Letter(), speed, nowMs);
            if (m_bridge.IsRunning()) {
                // The load command started the receiver: whatever follows it is the transfer's.
                if (i + 1 < length) {
                    Trace(nowMs, true, speed, std::vector<uint8_t>(data + i + 1, data + length), "zmodem");
                    m_bridge.Put(data + i + 1, length - i - 1);
                    PumpBridge(nowMs);
                }
                return;
            }
            continue;
        case CSimCommandParser::Result::NotCommand:
            for (unsigned held = m_parser.TakeHeld(); held > 0; --held)
                AddStray('+', speed);
            break;
        }
        if (byte == kSimStx) {
            FlushStray(nowMs);
            m_frameReceiver.Start(speed, nowMs);
        } else if (byte == kSimEsc && (m_bInEscWindow || !m_options.bConsole)) {
            FlushStray(nowMs);
            HandleEsc(speed, nowMs);
        } else if (m_options.bConsole) {
            FlushStray(nowMs);
            ToConsole(byte, speed, nowMs);
        } else {
            AddStray(byte, speed);
        }
    }
    FlushStray(nowMs);
}

void CSimController::HandleProbe(char letter, unsigned speed, uint32_t nowMs) {
    const std::string command = Command(letter);
    {
        std::lock_guard<std::mutex> guard(m_statsLock);
        ++m_counters.nProbes;
        m_counters.strLastCommand = command;
    }
    Trace(nowMs, true, speed, std::vector<uint8_t>(command.begin(), command.end()),
          std::string("probe ") + letter);
    if (HasFault(SimFaultKind::Garbage)) {
        m_writer.Noise("noise");
        return;
    }
    if (const SimFault* fault = FindLetterFault(letter)) {
        if (fault->nKind == SimFaultKind::NoAnswer)
            return;
        if (fault->nKind == SimFaultKind::ErrorOnce)
            m_errorOnceUsed.insert(letter);
        if (fault->nKind != SimFaultKind::FailDone) {
            m_writer.Line("ERROR", "answer ERROR");
            return;
        }
    }
    if (letter == 'C') {
        m_writer.Line(m_options.strVersion, "answer " + m_options.strVersion);
        return;
    }
    const std::string protocol = m_bBootstrap ? std::string("PL03") : m_options.strProtocol;
    if (!protocol.empty()) {
        m_writer.Line(protocol, "answer " + protocol);
        return;
    }
    // An application is running: it does not know the probe. Its watchdog (the option) resets it later.
    if (m_options.nResetAfterMs >= 0 && !m_bResetArmed) {
        m_bResetArmed = true;
        Schedule(nowMs + static_cast<uint32_t>(m_options.nResetAfterMs), ActionKind::ResetNow);
    }
}

void CSimController::HandleCommand(char letter, unsigned speed, uint32_t nowMs) {
    const std::string command = Command(letter);
    const bool bKnown = Contains(kCommandLetters, letter);
    Trace(nowMs, true, speed, std::vector<uint8_t>(command.begin(), command.end()),
          bKnown ? "command " + command : "unknown command " + command);
    if (!bKnown)
        return;
    {
        std::lock_guard<std::mutex> guard(m_statsLock);
        ++m_counters.nCommands;
        m_counters.strLastCommand = command;
    }
    if (HasFault(SimFaultKind::Garbage)) {
        m_writer.Noise("noise");
        return;
    }
    const uint32_t doneMs = nowMs + m_options.nDoneDelayMs;
    if (const SimFault* fault = FindLetterFault(letter)) {
        switch (fault->nKind) {
        case SimFaultKind::NoAnswer:
            return;
        case SimFaultKind::ErrorOnce:
            m_errorOnceUsed.insert(letter);
            [[fallthrough]];
        case SimFaultKind::ErrorAlways:
            m_writer.Line("ERROR", "answer ERROR");
            return;
        case SimFaultKind::FailDone:
            m_writer.Line("OK", "answer OK");
            Schedule(doneMs, ActionKind::AnswerDoneError, letter);
            return;
        default:
            break;
        }
    }
    m_writer.Line("OK", "answer OK");
    if (letter == '4')
        OpenLoad();
    if (letter == '5' && m_options.bReceiveFiles) {
        // The program's sender waits for the receiver's ZRINIT, so the receiver starts at once.
        m_bConfigLoadArmed = true;
        m_writer.Byte(kSimStar, "ready for the file");
        StartBridge({}, speed, nowMs);
    }
    if (Contains(kDoneLetters, letter))
        Schedule(doneMs, ActionKind::AnswerDone, letter);
}

bool CSimController::InBootstrap() const {
    return m_bBootstrap || m_options.strProtocol == "PL03";
}

void CSimController::OpenLoad() {
    // A new load (also the re-arm after a closing frame) starts without an address.
    m_bLoadOpen = true;
    m_bHaveAddress = false;
    m_bAddressRefused = false;
    m_bLoadWrote = false;
    std::lock_guard<std::mutex> guard(m_statsLock);
    ++m_counters.nLoads;
}

std::string CSimController::Erase(char letter) {
    const EraseRange range = EraseRangeOf(letter, InBootstrap());
    if (range.nLast < range.nFirst)
        return std::string();
    std::lock_guard<std::mutex> guard(m_statsLock);
    m_flash.Erase(range.nFirst, range.nLast);
    ++m_counters.nErases;
    return "erased " + Hex(range.nFirst) + "-" + Hex(range.nLast);
}

bool CSimController::ApplyToFlash(const SimFrame& frame, std::string& note) {
    if (!m_bLoadOpen)
        return true; // outside a load frames leave the flash alone

    std::lock_guard<std::mutex> guard(m_statsLock);
    if (frame.bMr) {
        if (frame.data.size() != 4) {
            // Taken like any address frame (their acknowledges are not relied on), but the load no longer
            // knows where data belongs: the data frames that follow are refused.
            m_bHaveAddress = false;
            m_bAddressRefused = true;
            note = "address frame of " + std::to_string(frame.data.size()) + " bytes: no place for data";
            return true;
        }
        const uint32_t address = (uint32_t{frame.data[0]} << 24) | (uint32_t{frame.data[1]} << 16) |
                                 (uint32_t{frame.data[2]} << 8) | frame.data[3];
        if (address == 0 && m_bLoadWrote) {
            m_bLoadOpen = false;
            ++m_counters.nLoadsClosed;
            note = "closing frame: load ended";
            return true;
        }
        // Before any data a zero address cannot be told from the closing frame of an empty load; taking
        // it as the address 0 serves both (an empty load programs nothing).
        m_nLoadAddress = address;
        m_bHaveAddress = true;
        m_bAddressRefused = false;
        note = "address " + Hex(address);
        return true;
    }
    if (m_bAddressRefused) {
        ++m_counters.nFlashFaults;
        note = "flash fault: data after an address frame that was not four bytes";
        return false;
    }
    if (!m_bHaveAddress) {
        m_counters.nUnaddressedBytes += frame.data.size();
        note = "no address yet, " + std::to_string(frame.data.size()) + " bytes not programmed";
        return true;
    }
    std::string fault;
    if (m_nLoadAddress > 0xFFFFFFFFu || !m_flash.Program(static_cast<uint32_t>(m_nLoadAddress),
                                                         frame.data.data(), frame.data.size(), fault)) {
        if (fault.empty())
            fault = "data past the end of the address space";
        ++m_counters.nFlashFaults;
        note = "flash fault: " + fault;
        return false;
    }
    note = "programmed " + std::to_string(frame.data.size()) + " bytes at " + Hex(m_nLoadAddress);
    m_nLoadAddress += frame.data.size();
    m_bLoadWrote = true;
    return true;
}

void CSimController::HandleFrame(SimFrame frame, uint32_t nowMs) {
    frame.nNumber = ++m_nFrameNumber;
    {
        std::lock_guard<std::mutex> guard(m_statsLock);
        ++m_counters.nFrames;
    }
    std::string meaning = "frame " + std::to_string(frame.nNumber) + (frame.bMr ? " MR" : "") + " len " +
                          std::to_string(frame.data.size());
    const SimFault* fault = FindFrameFault(frame.nNumber);
    if (fault && fault->nKind == SimFaultKind::IgnoreFrame) {
        Trace(nowMs, true, frame.nSpeed, frame.bytes, meaning + " ignored (fault)");
        return;
    }
    if (fault && fault->nKind == SimFaultKind::HangUp) {
        Trace(nowMs, true, frame.nSpeed, frame.bytes, meaning + " line hung up (fault)");
        m_bHungUp = true;
        return;
    }
    const unsigned expected = m_options.nExpectFrameSpeed;
    bool bAcked = false;
    if (!frame.bChecksumOk) {
        Trace(nowMs, true, frame.nSpeed, frame.bytes, meaning + " bad checksum");
        m_writer.Byte(kSimNak, "nak");
    } else if (expected != 0 && (frame.nSpeed != expected || frame.bMixedSpeed)) {
        // At the wrong speed a real controller would see noise; it does not answer.
        Trace(nowMs, true, frame.nSpeed, frame.bytes,
              meaning + " refused: speed " + std::to_string(frame.nSpeed) +
                  (frame.bMixedSpeed ? " (mixed)" : "") + ", expected " + std::to_string(expected));
    } else if (std::string note; !ApplyToFlash(frame, note)) {
        Trace(nowMs, true, frame.nSpeed, frame.bytes, meaning + " refused: " + note);
        m_writer.Byte(kSimNak, "nak");
    } else {
        // What the flash made of it goes in brackets, so that the meaning still ends with the outcome.
        if (!note.empty())
            meaning += " (" + note + ")";
        frame.bAccepted = true;
        if (fault && fault->nKind == SimFaultKind::DropAck) {
            Trace(nowMs, true, frame.nSpeed, frame.bytes, meaning + " ok, acknowledge dropped (fault)");
        } else if (fault && fault->nKind == SimFaultKind::WrongAck) {
            Trace(nowMs, true, frame.nSpeed, frame.bytes, meaning + " ok");
            m_writer.Byte(kSimWrongAck, "wrong ack (fault)");
        } else {
            Trace(nowMs, true, frame.nSpeed, frame.bytes, meaning + " ok");
            m_writer.Byte(kSimAck, "ack");
            bAcked = true;
        }
    }
    std::lock_guard<std::mutex> guard(m_statsLock);
    if (bAcked)
        ++m_counters.nFramesAcked;
    if (!frame.bAccepted)
        ++m_counters.nFramesRefused;
    m_frames.push_back(std::move(frame));
}

void CSimController::HandleEsc(unsigned speed, uint32_t nowMs) {
    const std::vector<uint8_t> bytes{kSimEsc};
    if (!m_bInEscWindow) {
        Trace(nowMs, true, speed, bytes, "ESC (ignored)");
        return;
    }
    Trace(nowMs, true, speed, bytes, "ESC: held in bootstrap");
    m_bInEscWindow = false;
    m_bBootstrap = true;
    m_actions.erase(
        std::remove_if(m_actions.begin(), m_actions.end(),
                       [](const TimedAction& action) { return action.nKind == ActionKind::EscWindowEnd; }),
        m_actions.end());
    std::lock_guard<std::mutex> guard(m_statsLock);
    ++m_counters.nEscHeld;
    m_counters.bBootstrap = true;
}

void CSimController::StartBridge(const std::vector<uint8_t>& first, unsigned speed, uint32_t nowMs) {
    Trace(nowMs, true, speed, first, "zmodem start");
    m_bBridgeForLoad = std::exchange(m_bConfigLoadArmed, false);
    std::string error;
    if (m_receiveFolder.Path().empty()) {
        error = "no folder to receive in";
    } else {
        m_beforeTransfer = m_receiveFolder.Take();
        if (m_bridge.Start(m_receiveFolder.Path(), error)) {
            if (!first.empty())
                m_bridge.Put(first.data(), first.size());
            PumpBridge(nowMs);
            return;
        }
    }
    // Without rz the transfer is heard as noise, as a controller that cannot store it would.
    Trace(nowMs, true, speed, {}, "zmodem end, " + error);
    m_bBridgeForLoad = false;
}

void CSimController::PumpBridge(uint32_t nowMs) {
    std::vector<uint8_t> output;
    const bool bEnded = m_bridge.Pump(output);
    if (!output.empty())
        m_writer.Bytes(output, "zmodem");
    if (bEnded)
        EndBridge(nowMs, "exit " + std::to_string(m_bridge.ExitStatus()));
}

void CSimController::EndBridge(uint32_t nowMs, const std::string& how) {
    Trace(nowMs, true, m_nLineSpeed, {},
          "zmodem end, " + how + ", received " + m_receiveFolder.ChangedSince(m_beforeTransfer));
    // The controller reports the configuration file stored only for a transfer its load command opened.
    if (std::exchange(m_bBridgeForLoad, false))
        Schedule(nowMs + m_options.nDoneDelayMs, ActionKind::AnswerStored);
}

int CSimController::BridgeFd() const {
    return m_bridge.IsRunning() ? m_bridge.Fd() : -1;
}

void CSimController::AbandonFrame(uint32_t nowMs, const std::string& meaning) {
    Trace(nowMs, true, m_nLineSpeed, m_frameReceiver.Abandon(), meaning);
    std::lock_guard<std::mutex> guard(m_statsLock);
    ++m_counters.nFramesIncomplete;
}

void CSimController::Reset(uint32_t nowMs) {
    PrepareWriter(nowMs);
    // A restart forgets everything in flight: unfinished commands and frames, pending answers.
    m_actions.clear();
    m_parser = CSimCommandParser{};
    m_nZrqinitMatched = 0;
    m_bConfigLoadArmed = false;
    if (m_bridge.IsRunning()) {
        m_bridge.Stop();
        m_bBridgeForLoad = false;
        EndBridge(nowMs, "killed by the reset");
    }
    if (m_frameReceiver.IsActive())
        AbandonFrame(nowMs, "frame incomplete (reset)");
    m_bBootstrap = false;
    m_bResetArmed = false;
    m_bLoadOpen = false; // the flash keeps what was programmed
    m_bInEscWindow = true;
    Schedule(nowMs + WindowMs(m_options.nEscWindowMs), ActionKind::EscWindowEnd);
    m_writer.Byte(kSimBel, "BEL");
    std::lock_guard<std::mutex> guard(m_statsLock);
    ++m_counters.nResets;
    m_counters.bBootstrap = false;
}

void CSimController::Tick(uint32_t nowMs) {
    PrepareWriter(nowMs);
    if (m_bridge.IsRunning())
        PumpBridge(nowMs);
    if (m_frameReceiver.IsActive() && DueBy(m_frameReceiver.LastByteMs() + WindowMs(kFrameSilenceMs), nowMs))
        AbandonFrame(nowMs, "frame incomplete");
    // Due actions in the order they fall due; an action may schedule no new ones except through Reset,
    // which clears the list, so take them one at a time.
    for (;;) {
        auto due = m_actions.end();
        for (auto it = m_actions.begin(); it != m_actions.end(); ++it) {
            if (DueBy(it->nDueMs, nowMs) &&
                (due == m_actions.end() || static_cast<int32_t>(it->nDueMs - due->nDueMs) < 0))
                due = it;
        }
        if (due == m_actions.end())
            return;
        const TimedAction action = *due;
        m_actions.erase(due);
        switch (action.nKind) {
        case ActionKind::AnswerDone: {
            // The erase is carried out when the controller reports it done.
            const std::string erased = Erase(action.cLetter);
            m_writer.Line("DONE", erased.empty() ? "answer DONE" : "answer DONE, " + erased);
            break;
        }
        case ActionKind::AnswerDoneError:
            m_writer.Line("ERROR", "answer ERROR instead of DONE (fault)");
            break;
        case ActionKind::ResetNow:
            Reset(nowMs);
            break;
        case ActionKind::AnswerStored:
            m_writer.Byte(kSimStar, "file stored");
            break;
        case ActionKind::EscWindowEnd: {
            // No ESC came: the application starts and the probe goes unanswered again (unless --protocol).
            m_bInEscWindow = false;
            std::lock_guard<std::mutex> guard(m_statsLock);
            ++m_counters.nEscWindowsMissed;
            break;
        }
        }
    }
}

int64_t CSimController::MsUntilNextAction(uint32_t nowMs) const {
    int64_t best = -1;
    auto consider = [&](uint32_t dueMs) {
        const int64_t left = std::max<int64_t>(0, static_cast<int32_t>(dueMs - nowMs));
        if (best < 0 || left < best)
            best = left;
    };
    for (const TimedAction& action : m_actions)
        consider(action.nDueMs);
    if (m_frameReceiver.IsActive())
        consider(m_frameReceiver.LastByteMs() + WindowMs(kFrameSilenceMs));
    // rz's descriptor wakes the pty server; a closed one (rz ending) or held input needs a look soon.
    if (m_bridge.IsRunning() && (m_bridge.Fd() < 0 || m_bridge.HoldsInput()))
        consider(nowMs + std::max<uint32_t>(
                             1, static_cast<uint32_t>(CClock::Instance().ClockMilliseconds(kBridgeTick))));
    return best;
}

SimCounters CSimController::Counters() const {
    std::lock_guard<std::mutex> guard(m_statsLock);
    SimCounters counters = m_counters;
    counters.speedsSeen.assign(m_speeds.begin(), m_speeds.end());
    counters.nFlashBytes = m_flash.ProgrammedBytes();
    return counters;
}

SimFlashRuns CSimController::FlashRuns() const {
    std::lock_guard<std::mutex> guard(m_statsLock);
    return m_flash.Runs();
}

std::vector<SimFrame> CSimController::Frames() const {
    std::lock_guard<std::mutex> guard(m_statsLock);
    return m_frames;
}
