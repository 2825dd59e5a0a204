// The demo mode: a simulated controller in this process on a pseudo-terminal, reached as COM1 for this
// run only (nothing is written to the settings file or the port map).
#pragma once

#include "sim/Simulator.h"

class CDravikApp;

#include <string>

class CDemoSession {
public:
    CDemoSession() = default;
    ~CDemoSession();
    CDemoSession(const CDemoSession&) = delete;
    CDemoSession& operator=(const CDemoSession&) = delete;

    static constexpr const char* kPortName = "COM1";

    // Starts the simulator and maps COM1 to it. False with a message when it cannot start.
    bool Start(std::string& error);
    const std::string& DevicePath() const { return m_simulator.SlavePath(); }
    // The folder of the sample files the build made (an image, an S-record file, a configuration file);
    // empty when it is not there.
    static std::string SamplesFolder();

    // Before start-up: nothing in this run writes the settings file, whatever the user changes.
    static void KeepSettings(CDravikApp& app);
    // After start-up: the link is COM1, this simulator, whatever the settings say.
    static void UseDemoLink(CDravikApp& app);

private:
    CSimulator m_simulator;
    bool m_bMapped = false;
};
