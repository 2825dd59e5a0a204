// S-record conversion speed against objcopy and srec_cat: one file of S3 records (made by srec_cat from
// random data in four pieces with gaps) is converted by `dravik-cli convert` into an image, by objcopy and
// by srec_cat into a binary. Each is timed as a whole program run, from its start to its end; ours and
// each peer are interleaved and the median ratio (ours / peer's) is printed, with our peak memory.
#include "BenchSupport.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <unistd.h>

namespace {

using namespace bench;

} // namespace

int main(int argc, char** argv) {
    // About 2.47 characters of S3 text per data byte with 32 data bytes a record.
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
    char folder[] = "/tmp/dravik-bench-srec-XXXXXX";
    if (!::mkdtemp(folder)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = folder;
    const std::string srec = dir + "/input.srec";
    const std::string image = dir + "/output.img";
    const std::string binary = dir + "/output.bin";

    std::mt19937 random(42);
    std::vector<std::string> args{"srec_cat"};
    const size_t pieceBytes = static_cast<size_t>(megabytes * 1e6 / 2.47 / 4);
    uint32_t address = 0x10000;
    for (int piece = 0; piece < 4; ++piece) {
        const std::string path = dir + "/piece" + std::to_string(piece) + ".raw";
        std::vector<char> data(pieceBytes);
        for (char& byte : data)
            byte = static_cast<char>(random() % 0x7E); // no image marker byte in the data
        std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
        args.insert(args.end(), {path, "-binary", "-offset", Format("0x%X", address)});
        address += static_cast<uint32_t>(pieceBytes) + (piece == 0 ? 5 : piece == 1 ? 100 : 4096);
    }
    args.insert(args.end(), {"-execution-start-address=0x10000", "-o", srec, "-motorola", "-address-length=4",
                             "-obs=32"});
    if (!RunProgram(args).bOk) {
        std::fprintf(stderr, "srec_cat could not make the input\n");
        return 1;
    }
    std::ifstream sized(srec, std::ios::binary | std::ios::ate);
    const double inputMb = static_cast<double>(sized.tellg()) / 1e6;

    long peakKb = 0;
    auto ours = [&] {
        SRun run = RunProgram({DRAVIK_CLI_PATH, "convert", srec, image});
        peakKb = std::max(peakKb, run.nMaxRssKb);
        return run;
    };
    const SPairs objcopy = Interleave(ours, [&] {
        return RunProgram({"objcopy", "-I", "srec", "-O", "binary", srec, binary});
    });
    const SPairs srecCat = Interleave(ours, [&] {
        return RunProgram({"srec_cat", srec, "-o", binary, "-binary"});
    });
    const bool ok = objcopy.wall.size() >= 3 && srecCat.wall.size() >= 3;
    const std::string workload = Format("S-record conversion, %.0f MB of S3 records: our time / ", inputMb);
    Row(workload + "objcopy -I srec -O binary's",
        Format("%.2f (ours %.2f s, objcopy %.2f s)", Median(objcopy.wall), Median(objcopy.ours),
               Median(objcopy.peer)),
        "≤ 0.6", ok && Median(objcopy.wall) <= 0.6);
    Row(workload + "srec_cat's",
        Format("%.2f (ours %.2f s, srec_cat %.2f s)", Median(srecCat.wall), Median(srecCat.ours),
               Median(srecCat.peer)),
        "≤ 0.2", ok && Median(srecCat.wall) <= 0.2);
    Row(workload + "our peak resident size", Format("%.1f MB", peakKb / 1024.0),
        "constant (≤ 8 MB at any size)", peakKb > 0 && peakKb <= 8 * 1024);

    for (const std::string& file : {srec, image, binary})
        std::remove(file.c_str());
    for (int piece = 0; piece < 4; ++piece)
        std::remove((dir + "/piece" + std::to_string(piece) + ".raw").c_str());
    ::rmdir(dir.c_str());
    return ok ? 0 : 1;
}
