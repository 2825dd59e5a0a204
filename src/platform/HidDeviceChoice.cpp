#include "platform/HidDeviceChoice.h"

#include "platform/SerialPortList.h"

#include <utility>

namespace {

constexpr int kOpenAttempts = 10;

class CChosenHidLibrary : public IHidLibrary {
public:
    CChosenHidLibrary(std::shared_ptr<IHidLibrary> library, SUsbDeviceChoice choice)
        : m_pLibrary(std::move(library)), m_choice(std::move(choice)) {}

    unsigned GetNumHidDevices(uint16_t vendorId, uint16_t productId) override {
        return static_cast<unsigned>(DeviceNames(vendorId, productId).size());
    }

    std::vector<SHidDeviceName> DeviceNames(uint16_t vendorId, uint16_t productId) override {
        std::vector<SHidDeviceName> chosen;
        for (SHidDeviceName name : m_pLibrary->DeviceNames(vendorId, productId)) {
            if (!IsChosen(name))
                continue;
            if (name.strNode.empty()) // a backend without nodes: the one it was named by
                name.strNode = m_choice.strNode;
            chosen.push_back(name);
        }
        return chosen;
    }

    // The backends open by number among the attached devices, so a device of another program that comes
    // or goes (a restart in a fleet) between the look and the open moves the numbers: the opened device is
    // checked against a second look, and the open is tried again when it was another.
    int Open(HidHandle& handle, unsigned index, uint16_t vendorId, uint16_t productId) override {
        handle = nullptr;
        int status = kHidDeviceNotFound;
        for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
            const std::vector<SHidDeviceName> names = m_pLibrary->DeviceNames(vendorId, productId);
            const unsigned position = PositionOf(names, index);
            if (position >= names.size())
                return kHidDeviceNotFound;
            status = m_pLibrary->Open(handle, position, vendorId, productId);
            if (status != kHidSuccess && status != kHidDeviceNotFound)
                return status;
            if (status == kHidSuccess) {
                const std::vector<SHidDeviceName> after = m_pLibrary->DeviceNames(vendorId, productId);
                if (position < after.size() && IsChosen(after[position]))
                    return kHidSuccess;
                m_pLibrary->Close(handle);
                handle = nullptr;
                status = kHidDeviceNotFound;
            }
        }
        return status;
    }

    int Close(HidHandle handle) override { return m_pLibrary->Close(handle); }
    int GetInputReportInterrupt(HidHandle handle, uint8_t* buffer, size_t size, size_t& returned) override {
        return m_pLibrary->GetInputReportInterrupt(handle, buffer, size, returned);
    }
    int SetOutputReportInterrupt(HidHandle handle, const uint8_t* report, size_t length) override {
        return m_pLibrary->SetOutputReportInterrupt(handle, report, length);
    }
    int SetOutputReportControl(HidHandle handle, const uint8_t* report, size_t length) override {
        return m_pLibrary->SetOutputReportControl(handle, report, length);
    }
    int GetInputReportControl(HidHandle handle, uint8_t* buffer, size_t length) override {
        return m_pLibrary->GetInputReportControl(handle, buffer, length);
    }
    // Another device leaving (a restart elsewhere in a fleet) is not this view's affair: passed on, it would
    // mark the open device as possibly gone and have the next arrival open it again under a transfer.
    void SetDeviceChangeHandler(std::function<void(bool arrived)> handler) override {
        if (!handler) {
            m_pLibrary->SetDeviceChangeHandler(nullptr);
            return;
        }
        m_pLibrary->SetDeviceChangeHandler([this, handler = std::move(handler)](bool arrived) {
            if (arrived || DeviceNames(kDxuVendorId, kDxuProductId).empty())
                handler(arrived);
        });
    }

    std::vector<std::string> ExplainNoDevice() override {
        const std::vector<SHidDeviceName> all = m_pLibrary->DeviceNames(kDxuVendorId, kDxuProductId);
        const size_t chosen = DeviceNames(kDxuVendorId, kDxuProductId).size();
        const std::string named = m_choice.strNode.empty() ? "with the serial number " + m_choice.strSerial
                                                           : "at " + m_choice.strNode;
        if (chosen > 1)
            return {std::to_string(chosen) + " controllers " + named +
                    " are attached; name each by its hidraw node (dravik-cli ports lists them)."};
        std::vector<std::string> lines{"No controller " + named +
                                       " is attached: check its USB cable and that it is powered."};
        if (all.empty())
            return lines;
        lines.push_back("Controllers attached:");
        for (const SHidDeviceName& name : all) {
            std::string line = "  " + (name.strNode.empty() ? std::string("USB") : name.strNode);
            line += name.strSerial.empty() ? " (no serial number)" : " serial number " + name.strSerial;
            lines.push_back(line);
        }
        return lines;
    }
    std::vector<std::string> ExplainOpenFailure() override { return m_pLibrary->ExplainOpenFailure(); }

private:
    bool IsChosen(const SHidDeviceName& name) const {
        if (!m_choice.strSerial.empty())
            return name.strSerial == m_choice.strSerial;
        return !m_choice.strNode.empty() && name.strNode == m_choice.strNode;
    }

    // Where the index-th chosen device stands among all; past the end when there is none.
    unsigned PositionOf(const std::vector<SHidDeviceName>& names, unsigned index) const {
        unsigned seen = 0;
        for (unsigned position = 0; position < names.size(); ++position)
            if (IsChosen(names[position]) && seen++ == index)
                return position;
        return static_cast<unsigned>(names.size());
    }

    std::shared_ptr<IHidLibrary> m_pLibrary;
    SUsbDeviceChoice m_choice;
};

} // namespace

bool IsUsbPortName(const std::string& portName) {
    if (portName.compare(0, 4, kUsbSerialPrefix) == 0)
        return true;
    const size_t slash = portName.find_last_of('/');
    return !portName.empty() && portName[0] == '/' && portName.compare(slash + 1, 6, "hidraw") == 0;
}

bool ChooseUsbDevice(const std::string& portName, const SSystemPaths& paths, SUsbDeviceChoice& choice,
                     std::vector<std::string>& why) {
    choice = {};
    if (portName.compare(0, 4, kUsbSerialPrefix) == 0) {
        choice.strSerial = portName.substr(4);
        if (choice.strSerial.empty())
            why.push_back("No serial number after \"usb:\": write usb:SERIAL (dravik-cli ports lists them).");
        return !choice.strSerial.empty();
    }
    const std::vector<SHidDeviceInfo> devices = ListHidDevices(paths);
    for (const SHidDeviceInfo& device : devices) {
        if (device.strNode != portName)
            continue;
        if (device.nVendorId != kDxuVendorId || device.nProductId != kDxuProductId) {
            why.push_back(portName + " is not a controller's: it is USB " +
                          FormatUsbId(device.nVendorId, device.nProductId) +
                          (device.strName.empty() ? "" : " " + device.strName) + ".");
            return false;
        }
        choice.strNode = portName;
        choice.strSerial = device.strSerial;
        return true;
    }
    why.push_back("No such USB device: " + portName + ".");
    for (const SHidDeviceInfo& device : devices)
        if (device.nVendorId == kDxuVendorId && device.nProductId == kDxuProductId)
            why.push_back("  a controller is at " + device.strNode +
                          (device.strSerial.empty() ? "" : ", serial number " + device.strSerial));
    if (why.size() == 1)
        why.push_back("No controller is attached by USB: check the cable and that it is powered.");
    return false;
}

std::shared_ptr<IHidLibrary> CreateChosenHidLibrary(std::shared_ptr<IHidLibrary> library,
                                                    SUsbDeviceChoice choice) {
    return std::make_shared<CChosenHidLibrary>(std::move(library), std::move(choice));
}
