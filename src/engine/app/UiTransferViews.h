// The user-interface port's transfer views: the "File Download" window, the "ZModem" window and the
// S-record conversion's "File Progress" window, with the fields the transfers write.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// The "File Download" window's fields. The values number the window's fields (a field the "ZModem"
// window has too keeps the same number there).
enum class EDownloadField {
    FileName = 1010,
    Progress = 1011, // the bar: it has no text
    Speed = 1012,
    Bytes = 1013,
    Status = 1014,
    Elapsed = 1015,
    Remaining = 1016,
    Start = 1017,
};

// The "File Download" window: text fields, a progress bar (range 0..max, position, step amount, step) and
// a Cancel button. The worker writes it; Close takes it off the screen.
class IDownloadView {
public:
    virtual ~IDownloadView() = default;
    virtual void SetField(EDownloadField field, const std::string& text) = 0;
    virtual void SetProgressRange(uint32_t maximum) = 0;
    virtual void SetProgressPos(uint32_t position) = 0;
    virtual void SetProgressStep(uint32_t amount) = 0;
    virtual void StepProgress() = 0;
    virtual void Close() = 0;
    // The numbers behind the figure texts, after each update of them: for faces that show them their own way.
    virtual void ShowFigures(uint64_t /*bytes*/, uint64_t /*total*/, uint64_t /*bitsPerSecond*/) {}
};

// A download view that shows nothing (a face without a download window).
class CHiddenDownloadView : public IDownloadView {
public:
    void SetField(EDownloadField, const std::string&) override {}
    void SetProgressRange(uint32_t) override {}
    void SetProgressPos(uint32_t) override {}
    void SetProgressStep(uint32_t) override {}
    void StepProgress() override {}
    void Close() override {}
};

// The "ZModem" window's fields, numbered as the same fields of the "File Download" window, and its speed
// unit button.
enum class EZModemField {
    FileName = 1010,
    Progress = 1011, // the bar: it has no text
    Speed = 1012,
    Bytes = 1013,
    Elapsed = 1015,
    Remaining = 1016,
    Start = 1017,
    UnitButton = 1018, // "&bps/cps": a button, not a text field
};

// The modal "ZModem" window of one transfer. The transfer's worker writes the fields and the progress
// bar (range 0..maximum, position) and calls WorkerDone as its last act; RunModal keeps the window up
// and blocks the transfer's caller until WorkerDone and the window's one-second closing pause, then
// takes the window away. The window cannot be closed before that.
class IZModemView {
public:
    virtual ~IZModemView() = default;
    virtual void SetField(EZModemField field, const std::string& text) = 0;
    virtual void SetProgressRange(uint32_t maximum) = 0;
    virtual void SetProgressPos(uint32_t position) = 0;
    virtual void WorkerDone() = 0;
    virtual void RunModal() = 0;
    // The numbers behind the figure texts, after each update of them: for faces that show them their own way.
    virtual void ShowFigures(uint64_t /*bytes*/, uint64_t /*total*/, uint64_t /*bitsPerSecond*/) {}
};

// A ZModem window that shows nothing but keeps the blocking and the closing pause (engine/zmodem).
std::unique_ptr<IZModemView> MakeHiddenZModemView();

// The "File Progress" window of the S-record conversion: a progress bar from 0 to a maximum, advanced
// one step at a time. Shown while it exists.
class IProgressView {
public:
    virtual ~IProgressView() = default;
    virtual void SetProgressRange(uint32_t maximum) = 0;
    virtual void StepProgress() = 0;
};

class CHiddenProgressView : public IProgressView {
public:
    void SetProgressRange(uint32_t) override {}
    void StepProgress() override {}
};
