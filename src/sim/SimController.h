// The simulated DXU controller, independent of any transport: it is fed the bytes the program sent (with
// the line speed they arrived at) and the passing of time, and produces the bytes to send back. It answers
// the probes and commands, takes data frames into its flash (sim/SimFlash.h) during a load, erases its
// regions, performs resets (BEL, then ESC holds the bootstrap), receives ZModem files by bridging the line
// to a real rz (sim/SimRzBridge.h) and injects the configured faults. All calls
// come from one thread; Counters(), Frames() and FlashRuns() from any.
#pragma once

#include "sim/SimAnswerWriter.h"
#include "sim/SimCommandParser.h"
#include "sim/SimConsole.h"
#include "sim/SimFlash.h"
#include "sim/SimFrameReceiver.h"
#include "sim/SimOptions.h"
#include "sim/SimReceiveFolder.h"
#include "sim/SimRzBridge.h"
#include "sim/SimTrace.h"

#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

constexpr uint8_t kSimAck = 0x06;
constexpr uint8_t kSimNak = 0x15;      // the answer to a frame with a bad checksum
constexpr uint8_t kSimWrongAck = 0x86; // the wrong-ack fault's acknowledge
constexpr uint8_t kSimBel = 0x07;
constexpr uint8_t kSimEsc = 0x1B;

// What a test can read about a running simulator.
struct SimCounters {
    unsigned nCommands = 0;         // "+++" commands other than the probes, known letters only
    unsigned nProbes = 0;           // "+++C" and "+++D"
    unsigned nFrames = 0;           // complete frames, whatever became of them
    unsigned nFramesAcked = 0;      // frames answered with ACK
    unsigned nFramesRefused = 0;    // bad checksum or wrong line speed
    unsigned nFramesIncomplete = 0; // dropped unfinished after a silence or at a reset
    unsigned nResets = 0;           // BELs sent
    unsigned nEscHeld = 0;          // ESCs that held the bootstrap
    unsigned nEscWindowsMissed = 0;
    bool bBootstrap = false;          // held in the bootstrap (answers PL03)
    std::vector<unsigned> speedsSeen; // line speeds bytes arrived at, ascending
    std::string strLastCommand;       // e.g. "+++0"
    // The flash: loads opened by "+++4" and ended by the closing frame, erase commands carried out,
    // bytes programmed now, frames refused for a flash fault, data bytes a load got before any address.
    unsigned nLoads = 0;
    unsigned nLoadsClosed = 0;
    unsigned nErases = 0;
    size_t nFlashBytes = 0;
    unsigned nFlashFaults = 0;
    size_t nUnaddressedBytes = 0;
};

class CSimController {
public:
    // pTrace may be null. startMs is the clock time the trace counts from.
    CSimController(const SimOptions& options, CSimTrace* pTrace, uint32_t startMs);

    void Receive(const uint8_t* data, size_t length, unsigned speed, uint32_t nowMs);
    // Carries out what is due by now (DONE answers, timed resets, the end of the ESC window).
    void Tick(uint32_t nowMs);
    // A reset now: the controller restarts and sends BEL.
    void Reset(uint32_t nowMs);
    // Clock milliseconds until the next timed action; -1 when none is waiting.
    int64_t MsUntilNextAction(uint32_t nowMs) const;
    // While a ZModem transfer runs: rz's descriptor, to be polled for reading (and for writing when
    // BridgeWantsWrite()) so that Tick() is called when it has something; -1 otherwise.
    int BridgeFd() const;
    bool BridgeWantsWrite() const { return m_bridge.HoldsInput(); }
    bool IsBridging() const { return m_bridge.IsRunning(); }
    // A hang-up fault fired: the server closes the line and stops serving.
    bool HasHungUp() const { return m_bHungUp; }
    // Where received files are stored; empty without SimOptions::bReceiveFiles or when no folder could be
    // made.
    const std::string& ReceiveDir() const { return m_receiveFolder.Path(); }

    std::vector<uint8_t> TakeOutput() { return m_writer.TakeOutput(); }

    SimCounters Counters() const;
    // Every frame received and not ignored, in order; bAccepted tells which ones were acknowledged.
    std::vector<SimFrame> Frames() const;
    // The programmed flash, a copy.
    SimFlashRuns FlashRuns() const;

private:
    enum class ActionKind { AnswerDone, AnswerDoneError, ResetNow, EscWindowEnd, AnswerStored };
    struct TimedAction {
        uint32_t nDueMs;
        ActionKind nKind;
        char cLetter;
    };

    void HandleCommand(char letter, unsigned speed, uint32_t nowMs);
    void HandleProbe(char letter, unsigned speed, uint32_t nowMs);
    void HandleFrame(SimFrame frame, uint32_t nowMs);
    void HandleEsc(unsigned speed, uint32_t nowMs);
    // What a frame that passed its checks does to the flash; false (with the fault in note) when it is to
    // be refused. note also tells what happened when it is taken.
    bool ApplyToFlash(const SimFrame& frame, std::string& note);
    void OpenLoad();
    // Carries out an erase command's effect on the flash; what it erased, empty for nothing.
    std::string Erase(char letter);
    bool InBootstrap() const;
    // Starts rz; it takes first (the sender's opening, when the sender spoke first) and all that follows.
    void StartBridge(const std::vector<uint8_t>& first, unsigned speed, uint32_t nowMs);
    void PumpBridge(uint32_t nowMs);
    void EndBridge(uint32_t nowMs, const std::string& how);
    void AbandonFrame(uint32_t nowMs, const std::string& meaning);
    void AddStray(uint8_t byte, unsigned speed);
    // A byte for the console (with SimOptions::bConsole); its answer goes out at once.
    void ToConsole(uint8_t byte, unsigned speed, uint32_t nowMs);
    void FlushStray(uint32_t nowMs);
    void Schedule(uint32_t dueMs, ActionKind kind, char letter = 0);
    void Trace(uint32_t nowMs, bool bRx, unsigned speed, const std::vector<uint8_t>& bytes,
               const std::string& meaning);
    void PrepareWriter(uint32_t nowMs);
    const SimFault* FindLetterFault(char letter) const;
    const SimFault* FindFrameFault(unsigned frame) const;
    bool HasFault(SimFaultKind kind) const;
    // A short window measured in clock time, but never shorter than a loaded machine needs in real time.
    uint32_t WindowMs(uint32_t clockMs) const;

    SimOptions m_options;
    CSimTrace* m_pTrace;
    uint32_t m_nStartMs;
    unsigned m_nLineSpeed = 0; // the last speed bytes arrived at; answers are traced with it
    CSimAnswerWriter m_writer;
    CSimCommandParser m_parser;
    CSimFrameReceiver m_frameReceiver;
    std::vector<uint8_t> m_stray;
    CSimConsole m_console;
    unsigned m_nStraySpeed = 0;
    std::vector<TimedAction> m_actions;
    std::set<char> m_errorOnceUsed;
    bool m_bBootstrap = false;
    bool m_bInEscWindow = false;
    bool m_bResetArmed = false;
    unsigned m_nFrameNumber = 0;
    bool m_bHungUp = false;
    bool m_bLoadOpen = false;       // "+++4" came and the load has not ended
    bool m_bHaveAddress = false;    // an address frame set m_nLoadAddress in this load
    bool m_bAddressRefused = false; // the last address frame was not four bytes: data has no place
    bool m_bLoadWrote = false;      // this load programmed data
    uint64_t m_nLoadAddress = 0;
    bool m_bConfigLoadArmed = false; // "+++5" answered; the next transfer is the configuration download
    bool m_bBridgeForLoad = false;   // the running transfer was announced by "+++5"
    unsigned m_nZrqinitMatched = 0;  // bytes of the sender's opening header seen in a row
    CSimReceiveFolder::Snapshot m_beforeTransfer;
    // The folder goes after rz has been killed: members are destroyed in reverse order.
    CSimReceiveFolder m_receiveFolder;
    CSimRzBridge m_bridge;

    mutable std::mutex m_statsLock;
    SimCounters m_counters;
    std::set<unsigned> m_speeds;
    std::vector<SimFrame> m_frames;
    CSimFlash m_flash; // written on the controller's thread under m_statsLock
};
