// The service record of every operation: who did what to which controller over which link, with the file,
// the commands, the texts shown, the result and the bytes, appended to the day's record file.
#include "engine/app/DravikApp.h"
#include "engine/app/UserInterface.h"
#include "engine/app/VersionText.h"
#include "engine/link/SerialHandler.h"
#include "engine/records/ServiceRecordBook.h"
#include "engine/records/ServiceVisit.h"
#include "platform/HidLibrary.h"
#include "platform/PortNames.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <ctime>
#include <pwd.h>
#include <unistd.h>

namespace {

// Local time with its offset from UTC: 2026-12-08T18:30:01+01:00.
std::string LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    std::string time = text;
    if (time.size() >= 5)
        time.insert(time.size() - 2, ":");
    return time;
}

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
}

std::string UserName() {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found)
        return found->pw_name;
    return std::to_string(::geteuid());
}

std::string RunningProgramName() {
    char path[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    const std::string full = n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string("dravik");
    return full.substr(full.find_last_of('/') + 1);
}

std::string HexId(uint16_t id) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", id);
    return text;
}

} // namespace

std::shared_ptr<CServiceVisit> CDravikApp::BeginVisit(const std::string& operation) {
    if (!m_bRecording || !CServiceRecordBook::EnabledByEnvironment())
        return nullptr;
    ServiceRecord start;
    start.strTime = LocalTimeText();
    start.strHost = HostName();
    start.strUser = UserName();
    start.strProgram = m_strProgramName.empty() ? RunningProgramName() : m_strProgramName;
    start.strProgramVersion = kDravikVersionText;
    start.strOperation = operation;
    const int kind = m_nLinkKind;
    start.strLink = kind == kLinkCom ? "COM" : kind == kLinkUsb ? "USB" : "none";
    if (kind == kLinkUsb) {
        start.strPort = "USB";
        start.strUsbId = HexId(kDxuVendorId) + ":" + HexId(kDxuProductId);
        // The device this run uses is the one attached (or the one named, the only one its view shows).
        const std::vector<SHidDeviceName> names = HidLibrary().DeviceNames(kDxuVendorId, kDxuProductId);
        if (names.size() == 1) {
            start.strDevice = names[0].strNode;
            start.strUsbSerial = names[0].strSerial;
        }
    } else {
        start.strPort = PortName();
        start.strDevice = ResolvePortName(start.strPort);
    }
    start.strProtocol = ControllerProtocolText();
    start.strVersion = ControllerVersionText();
    auto visit = std::make_shared<CServiceVisit>(std::move(start));
    std::lock_guard<std::mutex> guard(m_visitsLock);
    m_visits.push_back(visit);
    return visit;
}

void CDravikApp::EndVisit(const std::shared_ptr<CServiceVisit>& visit, int result, bool ok) {
    if (!visit)
        return;
    {
        std::lock_guard<std::mutex> guard(m_visitsLock);
        m_visits.erase(std::remove(m_visits.begin(), m_visits.end(), visit), m_visits.end());
    }
    // The controller's texts as the operation leaves them (Connect has just read them).
    visit->NoteController(ControllerProtocolText(), ControllerVersionText());
    const ServiceRecord record = visit->Finish(result, ok);
    std::string error;
    if (CServiceRecordBook::Append(record, error) || m_bRecordWarned.exchange(true))
        return;
    const std::string warning = "Service record not written: " + error +
                                ". Make the folder writable, or set DRAVIK_NO_RECORD=1 to stop recording.";
    std::fprintf(stderr, "%s\n", warning.c_str());
    m_pUi->ShowStatusMessage(warning);
}

std::shared_ptr<CServiceVisit> CDravikApp::CurrentVisit() {
    std::lock_guard<std::mutex> guard(m_visitsLock);
    return m_visits.empty() ? nullptr : m_visits.back();
}

void CDravikApp::NoteShownText(const std::string& text) {
    if (auto visit = CurrentVisit())
        visit->NoteText(text);
}

void CDravikApp::NoteLinkCommand(int code, bool accepted) {
    (void)accepted; // the answer's texts are in the messages
    if (auto visit = CurrentVisit())
        visit->NoteCommand(std::string("+++") + CSerialHandler::CommandLetter(code),
                           CSerialHandler::CommandAwaitsDone(code));
}

void CDravikApp::NoteLinkBytes(uint64_t sent, uint64_t acknowledged) {
    if (auto visit = CurrentVisit())
        visit->NoteBytes(sent, acknowledged);
}
