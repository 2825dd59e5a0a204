// The application state that every link operation reads on each call: which transport is chosen, whether
// the USB device is present, and where messages go. The application object is one; tests make their own.
#pragma once

#include <atomic>

class IUserInterface;

constexpr int kLinkNone = 0;
constexpr int kLinkCom = 1;
constexpr int kLinkUsb = 2;

class CLinkContext {
public:
    explicit CLinkContext(IUserInterface* ui) : m_pUi(ui) {}
    virtual ~CLinkContext() = default;

    std::atomic<int> m_nLinkKind{kLinkCom};
    std::atomic<bool> m_bUsbPresent{false};
    IUserInterface* m_pUi;
};
