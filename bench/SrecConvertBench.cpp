// S-record conversion speed against objcopy and srec_cat: one file of S3 records (made by srec_cat from
// random data in four pieces with gaps) is converted by `dravik-cli convert` into an image, by objcopy and
// by srec_cat into a binary. Each is timed as a whole program run, from its start to its end; ours and
// each peer are interleaved and the median ratio (ours / peer's) is printed. Our peak memory is taken at
// a tenth of the size too, to show that it does not grow with the file. Our runs keep a service record,
// with the digests of both files, as a user's run does.
#include "BenchSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>

namespace {

using namespace bench;

// Writes about megabytes MB of S3 text with 32 data bytes a record (about 2.47 characters a data byte) to
// srec, from random data in four pieces with gaps of 5 bytes, 100 bytes and 4 KiB.
bool MakeInput(const std::string& dir, size_t megabytes, const std::string& srec) {
    std::mt19937 random(42);
    std::vector<std::string> args{"srec_cat"};
    const size_t pieceBytes = static_cast<size_t>(static_cast<double>(megabytes) * 1e6 / 2.47 / 4);
    uint32_t address = 0x10000;
    std::vector<std::string> pieces;
    for (int piece = 0; piece < 4; ++piece) {
        pieces.push_back(dir + "/piece" + std::to_string(piece) + ".raw");
        std::vector<char> data(pieceBytes);
        for (char& byte : data)
            byte = static_cast<char>(random() % 0x7E); // no image marker byte in the data
        std::ofstream(pieces.back(), std::ios::binary)
            .write(data.data(), static_cast<std::streamsize>(data.size()));
        args.insert(args.end(), {pieces.back(), "-binary", "-offset", Format("0x%X", address)});
        address += static_cast<uint32_t>(pieceBytes) + (piece == 0 ? 5 : piece == 1 ? 100 : 4096);
    }
    args.insert(args.end(), {"-execution-start-address=0x10000", "-o", srec, "-motorola", "-address-length=4",
                             "-obs=32"});
    const bool ok = TimeProgram(args).bOk;
    for (const std::string& piece : pieces)
        std::remove(piece.c_str());
    return ok;
}

double FileMegabytes(const std::string& path) {
    std::ifstream sized(path, std::ios::binary | std::ios::ate);
    return static_cast<double>(sized.tellg()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
    char folder[] = "/tmp/dravik-bench-srec-XXXXXX";
    if (!::mkdtemp(folder)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = folder;
    const std::string small = dir + "/small.srec";
    const std::string srec = dir + "/input.srec";
    const std::string image = dir + "/output.img";
    const std::string binary = dir + "/output.bin";
    if (!MakeInput(dir, megabytes / 10, small) || !MakeInput(dir, megabytes, srec)) {
        std::fprintf(stderr, "srec_cat could not make the input\n");
        return 1;
    }
    const double inputMb = FileMegabytes(srec);
    // Our runs keep their service records, as a user's do (the digests of both files are part of the
    // cost), but in the benchmark's folder.
    ::setenv("XDG_DATA_HOME", dir.c_str(), 1);
    ::unsetenv("DRAVIK_NO_RECORD");

    // Our peak memory at a tenth of the size.
    const SRun smallRun = TimeProgram({DRAVIK_CLI_PATH, "convert", small, image});
    long peakKb = 0;
    auto ours = [&] {
        SRun run = TimeProgram({DRAVIK_CLI_PATH, "convert", srec, image});
        peakKb = std::max(peakKb, run.nMaxRssKb);
        return run;
    };
    auto oursAlone = [&] { return TimeProgram({DRAVIK_CLI_PATH, "--no-record", "convert", srec, image}); };
    auto objcopy = [&] { return TimeProgram({"objcopy", "-I", "srec", "-O", "binary", srec, binary}); };
    auto srecCat = [&] { return TimeProgram({"srec_cat", srec, "-o", binary, "-binary"}); };
    // Nine pairs: a 0.15 s run moves by a tenth when its digest threads share a core with the converter.
    constexpr int kSrecPairs = 9;
    const SPairs withRecord = Interleave(ours, objcopy, kSrecPairs);
    const SPairs alone = Interleave(oursAlone, objcopy, kSrecPairs);
    const SPairs againstSrecCat = Interleave(ours, srecCat, kSrecPairs);
    const std::string workload = Format("S-record conversion, %.0f MB of S3 records: ", inputMb);
    bool allOk = true;
    for (const auto& [pairs, what, peer, goal] :
         {std::tuple{&withRecord, "time with its service record", "objcopy -I srec -O binary", 0.6},
          std::tuple{&alone, "time without a service record (--no-record)", "objcopy -I srec -O binary", 0.6},
          std::tuple{&againstSrecCat, "time with its service record", "srec_cat", 0.2}}) {
        const bool ok = pairs->wall.size() >= 3;
        allOk = allOk && ok;
        const std::string failed =
            pairs->nFailed ? Format(", %d pairs failed", pairs->nFailed) : std::string();
        Row(workload + what + " against " + peer,
            ok ? Format("%.2f s", Median(pairs->ours)) : std::string("n/a"),
            ok ? Format("%s %.2f s", peer, Median(pairs->peer)) : std::string("n/a"),
            ok ? Format("%.2f (CPU %.2f; %zu pairs%s)", Median(pairs->wall), Median(pairs->cpu),
                        pairs->wall.size(), failed.c_str())
               : "n/a" + failed,
            Format("≤ %.1f", goal), ok && Median(pairs->wall) <= goal);
    }
    // Constant: the larger file may take at most a tenth more (page cache and allocator noise).
    const bool rssOk = smallRun.bOk && peakKb > 0;
    Row(workload + "our peak resident size, at this size and at a tenth of it",
        rssOk ? Format("%.1f MB", peakKb / 1024.0) : std::string("n/a"),
        Format("ours at %.0f MB: %.1f MB", FileMegabytes(small), smallRun.nMaxRssKb / 1024.0),
        rssOk ? Format("%.2f", static_cast<double>(peakKb) / static_cast<double>(smallRun.nMaxRssKb)) : "n/a",
        "constant (≤ 1.1)", rssOk && peakKb <= smallRun.nMaxRssKb * 11 / 10);

    std::filesystem::remove_all(dir);
    return allOk && rssOk ? 0 : 1;
}
