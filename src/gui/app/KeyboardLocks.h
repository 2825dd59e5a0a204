// The Caps Lock, Num Lock and Scroll Lock states for the status bar's indicators. The keyboard LEDs in
// /sys tell the truth when they can be read; otherwise the state follows the lock keys pressed in the
// program's own windows.
#pragma once

enum class ELockKey { Caps, Num, Scroll };

class CKeyboardLocks {
public:
    CKeyboardLocks();
    bool IsOn(ELockKey key) const { return m_bOn[static_cast<int>(key)]; }
    // A lock key was released in one of our windows.
    void OnLockKey(ELockKey key);
    // For tests: start from known states, ignoring the LEDs.
    void SetStates(bool caps, bool num, bool scroll, bool useLeds);

private:
    // 1 on, 0 off, -1 when no LED of that kind can be read.
    static int ReadLed(ELockKey key);

    bool m_bOn[3] = {false, false, false};
    bool m_bUseLeds = true;
};
