// On the command line a message about a file is followed by the file's name and the system's reason.
#include "support/CliRunner.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

TEST(FileReasonCli, MessagesNameTheFileAndWhy) {
    const std::string dir = TestTempDir(); // the test's own, removed after it
    const std::string srec = dir + "/app.bin";
    std::ofstream(srec) << "S00600004844521B\nS9030000FC\n";
    const std::string odd = dir + "/notes.xyz";
    std::ofstream(odd) << "x";

    struct Row {
        std::vector<std::string> args;
        std::string strMessage;
    };
    const Row rows[] = {
        {{"convert", dir + "/missing.bin", dir + "/out.img"},
         "Cannot open input file.\n" + dir + "/missing.bin: No such file or directory.\n"},
        {{"convert", srec, dir + "/no-folder/out.img"},
         "Cannot open output file.\n" + dir + "/no-folder/out.img: No such file or directory.\n"},
        {{"convert", srec, srec},
         "Cannot open output file.\nThe output file must not be the input file.\n" + srec + " is " + srec +
             ".\n"},
        {{"--settings", dir + "/none.cfg", "--port", "/dev/null", "--state", "bios", "load", odd},
         "Error: Unknown file type.\n" + odd +
             ": Load takes *.img, *.dat, *.gif, *.htm, *.nxe, *.xif and *.txt "
             "files.\n"},
    };
    for (const Row& row : rows) {
        const SProgramOutput run = RunCliProcess(row.args);
        EXPECT_EQ(run.nExit, 1) << row.args[0];
        EXPECT_NE(run.strErr.find(row.strMessage), std::string::npos) << run.strErr;
    }
}

} // namespace
