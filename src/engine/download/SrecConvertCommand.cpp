// The Convert command: asks for an S-record file and where its image goes, then converts it on the
// calling thread behind the "File Progress" window. Needs no controller and no link.
#include "engine/app/DravikApp.h"
#include "engine/app/FileReason.h"
#include "engine/app/MessageTexts.h"
#include "engine/app/RecordScope.h"
#include "engine/app/UserInterface.h"
#include "engine/download/ImageSource.h"
#include "engine/download/SrecConverter.h"
#include "engine/records/DigestingStreams.h"

#include "platform/ExitCleanup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
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
    CImageFileSource input;
    if (!input.Open(inputPath)) {
        const int error = errno;
        record.NoteFile(inputPath);
        m_pUi->MessageBoxWithReason(kInputFileNotOpened, FileReason(inputPath, error));
        return false;
    }
    if (IsSameFile(inputPath, outputPath)) {
        record.NoteFile(inputPath);
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
        const int error = errno;
        record.NoteFile(inputPath);
        m_pUi->MessageBoxWithReason("Cannot open output file.", FileReason(outputPath, error));
        return false;
    }
    if (wholeOrNothing)
        ExitCleanup::AddPath(writePath); // an immediate exit by a signal leaves no part behind either

    auto progress = m_pUi->CreateProgressView();
    progress->SetProgressRange(static_cast<uint32_t>(input.Length() / CSrecConverter::kProgressChars));
    // The record's digests are taken from the bytes as they pass, not by reading both files again; without
    // a record no digest threads start.
    std::optional<CDigestingSource> digestedInput;
    std::optional<CDigestingSink> digestedOutput;
    const bool digest = record.IsRecording();
    if (digest) {
        digestedInput.emplace(input);
        digestedOutput.emplace(output);
    }
    CSrecConverter converter(digest ? static_cast<IImageByteSource&>(*digestedInput) : input,
                             digest ? static_cast<IImageByteSink&>(*digestedOutput) : output);
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
            const int error = errno;
            m_pUi->MessageBoxWithReason(kImageFileNotWritten, {"It could not take the name " + outputPath +
                                                               ": " + std::strerror(error) + "."});
            ok = false;
        }
        if (!ok)
            std::remove(writePath.c_str());
        ExitCleanup::RemovePath(writePath);
    }
    // A digest is whole only once its thread has taken every byte: take both before asking.
    const std::string inputSha256 = digest ? digestedInput->Hex() : std::string();
    const std::string outputSha256 = digest ? digestedOutput->Hex() : std::string();
    if (digest && digestedInput->IsWhole())
        record.NoteFileDigest(inputPath, static_cast<int64_t>(digestedInput->Bytes()), inputSha256);
    else
        record.NoteFile(inputPath);
    // A finished conversion's image holds exactly the bytes written; anything else is described as it is.
    if (digest && ok && digestedOutput->IsWhole())
        record.NoteOutputDigest(outputPath, static_cast<int64_t>(digestedOutput->Bytes()), outputSha256);
    else
        record.NoteOutputFile(outputPath);
    record.Finish(ok ? 1 : 0, ok);
    return ok;
}
