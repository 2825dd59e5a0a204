#include "cli/CliImageInfo.h"

#include "cli/CliEventWriter.h"
#include "cli/CliOptions.h"
#include "engine/download/ImageAnalysis.h"
#include "engine/download/ImageFormat.h"
#include "engine/download/ImageReader.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <stdio.h>
#include <stdlib.h>

namespace {

constexpr int kStateBios = 1;
constexpr int kStateBootstrap = 2;

struct Run {
    uint32_t nAddress = 0;
    uint64_t nBytes = 0;
};

std::string RegionText(int regions) {
    std::string text;
    auto add = [&](int bit, const char* name) {
        if (regions & bit)
            text += (text.empty() ? "" : ", ") + std::string(name);
    };
    add(RegionOs, "operating system");
    add(RegionApplication, "application");
    add(RegionCommBoard, "communication board");
    return (text.empty() ? std::string("none") : text) + " (" + std::to_string(regions) + ")";
}

int AnalyzeFile(const std::string& path, int state) {
    CImageFileSource file;
    if (!file.Open(path))
        return 0;
    return AnalyzeImageRegions(file, state);
}

// Standard output, or with events a buffer whose lines go out as message events when the command ends.
class CInfoOutput {
public:
    explicit CInfoOutput(CCliEventWriter* events) : m_pEvents(events) {
        if (m_pEvents)
            m_pBuffer = ::open_memstream(&m_pText, &m_nSize);
    }
    ~CInfoOutput() {
        if (!m_pBuffer)
            return;
        std::fclose(m_pBuffer);
        std::string text(m_pText, m_nSize);
        std::free(m_pText);
        for (size_t start = 0; start < text.size();) {
            const size_t end = text.find('\n', start);
            m_pEvents->Message(text.substr(start, end - start), "info");
            start = end == std::string::npos ? text.size() : end + 1;
        }
    }
    CInfoOutput(const CInfoOutput&) = delete;
    CInfoOutput& operator=(const CInfoOutput&) = delete;
    std::FILE* File() const { return m_pBuffer ? m_pBuffer : stdout; }

private:
    CCliEventWriter* m_pEvents;
    std::FILE* m_pBuffer = nullptr;
    char* m_pText = nullptr;
    size_t m_nSize = 0;
};

} // namespace

int RunInfo(const std::vector<std::string>& arguments, CCliEventWriter* events) {
    CInfoOutput output(events);
    std::FILE* const out = output.File();
    if (arguments.size() != 1) {
        std::fprintf(stderr, "%s\ninfo takes one image file\n", CliUsageLine());
        return kExitUsage;
    }
    const std::string& path = arguments[0];
    CImageFileSource file;
    if (!file.Open(path)) {
        std::fprintf(stderr, "Unable to open file %s: %s\n", path.c_str(), std::strerror(errno));
        return 1;
    }
    const uint64_t length = file.Length();

    // The transfer pass, as the download reads the file.
    CImageReader reader(file);
    uint8_t block[kImageBlockBytes];
    uint64_t unaddressed = 0;
    std::vector<Run> runs;
    CImageReader::EStop stop;
    for (;;) {
        size_t got = 0;
        stop = reader.Fill(block, sizeof(block), got);
        if (runs.empty())
            unaddressed += got;
        else
            runs.back().nBytes += got;
        if (stop == CImageReader::EStop::Address)
            runs.push_back(Run{reader.Address(), 0});
        else if (stop != CImageReader::EStop::BlockFull)
            break;
    }

    std::fprintf(out, "Image %s: %" PRIu64 " bytes\n", path.c_str(), length);
    if (unaddressed > 0)
        std::fprintf(out, "Data before the first address record (no address): %" PRIu64 " bytes\n",
                     unaddressed);
    std::fprintf(out, "Address records: %zu\n", runs.size());
    uint64_t total = unaddressed;
    for (size_t i = 0; i < runs.size(); ++i) {
        const Run& run = runs[i];
        total += run.nBytes;
        const uint64_t end = uint64_t{run.nAddress} + run.nBytes;
        std::fprintf(out, "  0x%08" PRIX32 "  %" PRIu64 " data bytes", run.nAddress, run.nBytes);
        if (run.nBytes > 0)
            std::fprintf(out, " (up to 0x%08" PRIX64 ")", end - 1);
        std::fprintf(out, "\n");
        if (i + 1 < runs.size()) {
            const uint64_t next = runs[i + 1].nAddress;
            if (next > end)
                std::fprintf(out, "  gap 0x%08" PRIX64 "..0x%08" PRIX64 "  %" PRIu64 " bytes\n", end,
                             next - 1, next - end);
            else if (next < end)
                std::fprintf(out,
                             "  overlap: the next record starts %" PRIu64 " bytes before this data ends\n",
                             end - next);
        }
    }
    // Fill bytes are data on the wire and in the flash; the file does not tell them apart.
    std::fprintf(out, "Total data bytes: %" PRIu64 " (fill bytes included)\n", total);
    std::fflush(out);

    if (stop == CImageReader::EStop::UnexpectedEnd) {
        std::fprintf(stderr, "The image ends inside an address record (at byte %" PRIu64 ").\n",
                     reader.Consumed());
        return 1;
    }
    if (stop == CImageReader::EStop::BadRecord) {
        std::fprintf(stderr, "The address record ending at byte %" PRIu64 " is not closed by \":\".\n",
                     reader.Consumed());
        return 1;
    }
    if (stop == CImageReader::EStop::ReadError) {
        std::fprintf(stderr, "Reading %s failed after %" PRIu64 " bytes.\n", path.c_str(), reader.Consumed());
        return 1;
    }

    for (const auto& [state, name] : {std::pair{kStateBootstrap, "for a bootstrap controller"},
                                      std::pair{kStateBios, "in any other state"}}) {
        const int regions = AnalyzeFile(path, state);
        std::fprintf(out, "Regions %s: %s\n", name, RegionText(regions).c_str());
        // The analysis skips nine bytes after every 0x7E; a record close behind a data 0x7E escapes it.
        int seen = 0;
        for (const Run& run : runs)
            seen |= ImageRegionOfAddress(run.nAddress, state);
        if (seen != regions)
            std::fprintf(out,
                         "  warning: the records reach %s, but the analysis before a download finds only the "
                         "above; the rest would not be erased\n",
                         RegionText(seen).c_str());
    }
    return 0;
}
