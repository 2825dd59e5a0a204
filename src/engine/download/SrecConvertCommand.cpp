// The Convert command: asks for an S-record file and where its image goes, then converts it on the
// calling thread behind the "File Progress" window. Needs no controller and no link.
#include "engine/app/DravikApp.h"
#include "engine/app/FileReason.h"
#include "engine/app/MessageTexts.h"
#include "engine/app/RecordScope.h"
#include "engine/app/UserInterface.h"
#include "engine/download/ImageSource.h"
#include "engine/download/SrecConverter.h"

#include "platform/ExitCleanup.h"

#include <cerrno>
#include <cstdio>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// True when both paths name one existing file: creating the output would then wipe the input.
bool IsSameFile(const std::string& first, const std::string& second) {
    struct stat a {};
    struct stat b {};
    return ::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

} // namespace

// The save dialog's first suggestion: the input's name with its last three characters made "img".
std::string CDravikApp::DefaultImageName(const std::string& inputName) {
    if (inputName.size() <= 3)
        return inputName + ".img";
    return inputName.substr(0, inputName.size() - 3) + "img";
}

void CDravikApp::OnConvert() {
    FileDialogRequest open;
    open.bOpen = true;
    open.strDefaultExt = "*.bin";
    open.strFilter = "Software S-Record Files (*.bin)|*.bin||";
    std::string inputPath;
    if (!m_pUi->GetFileName(open, inputPath))
        return;

    const size_t slash = inputPath.find_last_of('/');
    const std::string inputName = slash == std::string::npos ? inputPath : inputPath.substr(slash + 1);
    FileDialogRequest save;
    save.bOpen = false;
    save.strDefaultExt = "*.img";
    save.strFilter = "Software Image Files (*.img)|*.img||";
    save.strInitialName = DefaultImageName(inputName);
    // The image goes beside its source unless the person says otherwise.
    if (slash != std::string::npos)
        save.strInitialDir = inputPath.substr(0, slash + 1);
    std::string outputPath;
    if (!m_pUi->GetFileName(save, outputPath))
        return;
    ConvertFile(inputPath, outputPath);
}

bool CDravikApp::ConvertFile(const std::string& inputPath, const std::string& outputPath,
                             bool wholeOrNothing) {
    CRecordScope record(*this, "convert");
    // The record's digest of the input is taken beside the conversion, which reads the same file; every
    // way out of here waits for it.
    std::future<void> inputNoted =
        std::async(std::launch::async, [&record, &inputPath] { record.NoteFile(inputPath); });
    CImageFileSource input;
    if (!input.Open(inputPath)) {
        m_pUi->MessageBoxWithReason(kInputFileNotOpened, FileReason(inputPath, errno));
        return false;
    }
    if (IsSameFile(inputPath, outputPath)) {
        m_pUi->MessageBoxWithReason("Cannot open output file.\nThe output file must not be the input file.",
                                    {outputPath + " is " + inputPath + "."});
        return false;
    }
    CImageFileSink output;
    std::string writePath = outputPath;
    if (wholeOrNothing) {
        const size_t slash = outputPath.find_last_of('/');
        writePath = outputPath.substr(0, slash == std::string::npos ? 0 : slash + 1) + ".dravik-convert-" +
                    std::to_string(::getpid()) + ".tmp";
    }
    if (!output.Create(writePath)) {
        m_pUi->MessageBoxWithReason("Cannot open output file.", FileReason(outputPath, errno));
        return false;
    }
    if (wholeOrNothing)
        ExitCleanup::AddPath(writePath); // an immediate exit by a signal leaves no part behind either

    auto progress = m_pUi->CreateProgressView();
    progress->SetProgressRange(static_cast<uint32_t>(input.Length() / CSrecConverter::kProgressChars));
    CSrecConverter converter(input, output);
    bool ok = converter.Convert([&progress] { progress->StepProgress(); }) == CSrecConverter::EResult::Ok;
    if (!ok)
        m_pUi->MessageBox(converter.ErrorText());
    // What was converted before a fault stays in the image.
    if (!output.Close() && ok) {
        m_pUi->MessageBoxWithReason(kImageFileNotWritten, FileReason(outputPath, errno));
        ok = false;
    }
    input.Close();
    progress.reset();
    if (wholeOrNothing) {
        if (ok && std::rename(writePath.c_str(), outputPath.c_str()) != 0) {
            m_pUi->MessageBox("Cannot write the image file.\nIt could not take the name " + outputPath + ".");
            ok = false;
        }
        if (!ok)
            std::remove(writePath.c_str());
        ExitCleanup::RemovePath(writePath);
    }
    inputNoted.wait();
    record.NoteOutputFile(outputPath);
    record.Finish(ok ? 1 : 0, ok);
    return ok;
}
