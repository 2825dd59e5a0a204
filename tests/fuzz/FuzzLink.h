// A USB link whose controller has already sent the fuzz input: the bytes wait in the device's receive
// ring, and a read past them fails at once, as on a link whose read time-out is zero.
#pragma once

#include "engine/link/LinkContext.h"
#include "engine/link/SerialHandler.h"
#include "engine/link/UsbHidDevice.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

class CFuzzLink {
public:
    CFuzzLink(const uint8_t* data, size_t size) {
        m_context.m_nLinkKind = kLinkUsb;
        m_context.m_bUsbPresent = true;
        // Input reports as the device sends them: report id 3, a count, the bytes.
        for (size_t at = 0; at < size; at += CUsbHidDevice::kMaxReportData) {
            const size_t n = std::min(CUsbHidDevice::kMaxReportData, size - at);
            uint8_t report[CUsbHidDevice::kReportSize] = {3, static_cast<uint8_t>(n)};
            std::copy(data + at, data + at + n, report + 2);
            m_device.StoreReport(report, n + 2);
        }
    }
    CSerialHandler& Link() { return m_link; }

private:
    CLinkContext m_context{nullptr};
    CUsbHidDevice m_device;
    CSerialHandler m_link{m_context, &m_device};
};
