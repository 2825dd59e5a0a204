#include "sim/UsbSimController.h"

#include "platform/Clock.h"

#include <algorithm>
#include <utility>

namespace {

// USB has no line speed; the controller is told none.
constexpr unsigned kNoLineSpeed = 0;
constexpr auto kBridgeTick = std::chrono::milliseconds(2);

} // namespace

CUsbSimController::CUsbSimController(std::shared_ptr<CUsbSimDevice> device, const SimOptions& options,
                                     CSimTrace* pTrace)
    : m_pDevice(std::move(device)), m_controller(options, pTrace, CClock::Instance().TickCount()) {
    m_pDevice->SetHostBytesHandler([this](const uint8_t* data, size_t length) {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_received.insert(m_received.end(), data, data + length);
        }
        m_wake.notify_all();
    });
    m_pDevice->SetRestartHandler([this] {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_bRestart = true;
        }
        m_wake.notify_all();
    });
    m_thread = std::thread(&CUsbSimController::Run, this);
}

CUsbSimController::~CUsbSimController() {
    m_pDevice->SetHostBytesHandler(nullptr);
    m_pDevice->SetRestartHandler(nullptr);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bStop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void CUsbSimController::Run() {
    CClock& clock = CClock::Instance();
    std::unique_lock<std::mutex> lock(m_lock);
    while (!m_bStop) {
        std::vector<uint8_t> received;
        received.swap(m_received);
        const bool bRestart = std::exchange(m_bRestart, false);
        lock.unlock();

        const uint32_t now = clock.TickCount();
        if (bRestart) {
            // The restart request holds the controller in its bootstrap, as an ESC at reset does.
            m_controller.Reset(now);
            const uint8_t esc = kSimEsc;
            m_controller.Receive(&esc, 1, kNoLineSpeed, now);
        }
        if (!received.empty())
            m_controller.Receive(received.data(), received.size(), kNoLineSpeed, now);
        m_controller.Tick(now);
        const std::vector<uint8_t> output = m_controller.TakeOutput();
        if (!output.empty())
            m_pDevice->SendToHost(output.data(), output.size());
        const int64_t untilNext = m_controller.MsUntilNextAction(clock.TickCount());

        lock.lock();
        if (m_bStop || !m_received.empty() || m_bRestart)
            continue;
        // Look again at least every 20 ms of real time, so a change of the clock's speed takes hold.
        auto wait = std::chrono::nanoseconds(std::chrono::milliseconds(20));
        if (untilNext >= 0)
            wait = std::min(wait, clock.RealDuration(static_cast<uint64_t>(untilNext)));
        // rz's descriptor is not waited on here: during a transfer its output is looked for often.
        if (m_controller.IsBridging())
            wait = std::min<std::chrono::nanoseconds>(wait, kBridgeTick);
        m_wake.wait_for(lock, wait);
    }
}
