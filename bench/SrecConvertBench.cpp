// S-record conversion speed against srec_cat: the same S-record file (made by srec_cat from random data,
// as S3 records of 32 data bytes with a few gaps) is converted into an image by our converter and into a
// binary by srec_cat, each timed as a whole run from file to file; the best of several runs of each is
// printed, and their ratio.
#include "engine/download/ImageSource.h"
#include "engine/download/SrecConverter.h"
#include "platform/ChildProcess.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;

template <class Action> double BestSeconds(int runs, Action action) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto start = SteadyClock::now();
        if (!action())
            return -1;
        best = std::min(best, std::chrono::duration<double>(SteadyClock::now() - start).count());
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 8;
    char folder[] = "/tmp/dravik-bench-srec-XXXXXX";
    if (!::mkdtemp(folder)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = folder;
    const std::string srec = dir + "/input.srec";
    const std::string image = dir + "/output.img";
    const std::string binary = dir + "/output.bin";

    // Random data in four pieces with gaps of 5 bytes, 100 bytes and 4 KiB between them.
    std::mt19937 random(42);
    std::vector<std::string> args{"srec_cat"};
    const size_t pieceBytes = megabytes * 1024 * 1024 / 4;
    uint32_t address = 0x10000;
    for (int piece = 0; piece < 4; ++piece) {
        const std::string path = dir + "/piece" + std::to_string(piece) + ".raw";
        std::vector<char> data(pieceBytes);
        for (char& byte : data)
            byte = static_cast<char>(random());
        std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
        char offset[16];
        std::snprintf(offset, sizeof(offset), "0x%X", address);
        args.insert(args.end(), {path, "-binary", "-offset", offset});
        address += static_cast<uint32_t>(pieceBytes) + (piece == 0 ? 5 : piece == 1 ? 100 : 4096);
    }
    args.insert(args.end(), {"-execution-start-address=0x10000", "-o", srec, "-motorola", "-address-length=4",
                             "-obs=32"});
    if (RunProgram(args) != 0) {
        std::fprintf(stderr, "srec_cat could not make the input\n");
        return 1;
    }

    uint64_t dataBytes = 0;
    const double ours = BestSeconds(5, [&] {
        CImageFileSource input;
        CImageFileSink output;
        if (!input.Open(srec) || !output.Create(image))
            return false;
        CSrecConverter converter(input, output);
        const bool ok = converter.Convert() == CSrecConverter::EResult::Ok && output.Close();
        dataBytes = converter.DataBytes();
        return ok;
    });
    const double theirs = BestSeconds(5, [&] {
        return RunProgram({"srec_cat", srec, "-o", binary, "-binary"}) == 0;
    });
    if (ours < 0 || theirs < 0) {
        std::fprintf(stderr, "a conversion failed\n");
        return 1;
    }

    std::ifstream sized(srec, std::ios::binary | std::ios::ate);
    const double inputMb = static_cast<double>(sized.tellg()) / 1e6;
    std::printf("S-record input: %.1f MB of text, %llu data bytes\n", inputMb,
                static_cast<unsigned long long>(dataBytes));
    std::printf("dravik conversion to image:  %.3f s (%.1f MB/s)\n", ours, inputMb / ours);
    std::printf("srec_cat conversion to binary: %.3f s (%.1f MB/s)\n", theirs, inputMb / theirs);
    std::printf("ratio (srec_cat time / dravik time): %.2f\n", theirs / ours);

    for (const std::string& file : {srec, image, binary})
        std::remove(file.c_str());
    for (int piece = 0; piece < 4; ++piece)
        std::remove((dir + "/piece" + std::to_string(piece) + ".raw").c_str());
    ::rmdir(dir.c_str());
    return 0;
}
