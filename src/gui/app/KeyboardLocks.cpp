#include "gui/app/KeyboardLocks.h"

#include <dirent.h>
#include <fstream>
#include <memory>
#include <string>

CKeyboardLocks::CKeyboardLocks() {
    for (ELockKey key : {ELockKey::Caps, ELockKey::Num, ELockKey::Scroll})
        m_bOn[static_cast<int>(key)] = ReadLed(key) == 1;
}

void CKeyboardLocks::OnLockKey(ELockKey key) {
    const int led = m_bUseLeds ? ReadLed(key) : -1;
    bool& on = m_bOn[static_cast<int>(key)];
    on = led >= 0 ? led == 1 : !on;
}

void CKeyboardLocks::SetStates(bool caps, bool num, bool scroll, bool useLeds) {
    m_bOn[0] = caps;
    m_bOn[1] = num;
    m_bOn[2] = scroll;
    m_bUseLeds = useLeds;
}

int CKeyboardLocks::ReadLed(ELockKey key) {
    static const char* const kSuffix[] = {"::capslock", "::numlock", "::scrolllock"};
    const std::string suffix = kSuffix[static_cast<int>(key)];
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir("/sys/class/leds"), &::closedir);
    if (!dir)
        return -1;
    int result = -1;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name.size() <= suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        std::ifstream file("/sys/class/leds/" + name + "/brightness");
        int brightness = 0;
        if (file >> brightness) {
            if (brightness > 0)
                return 1;
            result = 0;
        }
    }
    return result;
}
