// The application state that every link operation reads on each call: which transport is chosen, whether
// the USB device is present, and where messages go. The application object is one; tests make their own.
#pragma once

#include <atomic>
#include <cstdint>

class IUserInterface;

constexpr int kLinkNone = 0;
constexpr int kLinkCom = 1;
constexpr int kLinkUsb = 2;

class CLinkContext {
public:
    explicit CLinkContext(IUserInterface* ui) : m_pUi(ui) {}
    virtual ~CLinkContext() = default;

    // What the links did, for the service record of the operation in progress (any thread): a command
    // with its answer, and payload bytes sent and acknowledged by the controller or a ZModem receiver.
    virtual void NoteLinkCommand(int code, bool accepted) {
        (void)code;
        (void)accepted;
    }
    virtual void NoteLinkBytes(uint64_t sent, uint64_t acknowledged) {
        (void)sent;
        (void)acknowledged;
    }

    std::atomic<int> m_nLinkKind{kLinkCom};
    std::atomic<bool> m_bUsbPresent{false};
    IUserInterface* m_pUi;
};
