// Service records at their seams: SHA-256 (in place and on its own thread) against the standard's vectors,
// the JSON writer and reader on hostile text, and the day files: append, read back by date, skip damaged
// lines, and many writers at once without a torn line.
#include "engine/records/JsonText.h"
#include "engine/records/ServiceRecordBook.h"
#include "engine/records/Sha256.h"
#include "engine/records/Sha256Pipeline.h"
#include "support/RecordFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Either digest: in place, or on its own thread in blocks of 64 KiB.
template <class Digest> std::string Sha256Of(const std::string& text, size_t chunk) {
    Digest sha;
    for (size_t at = 0; at < text.size(); at += chunk)
        sha.Update(reinterpret_cast<const uint8_t*>(text.data() + at), std::min(chunk, text.size() - at));
    return CSha256::Hex(sha.Final());
}

TEST(Sha256, StandardVectorsWhateverTheUpdateSizes) {
    const struct {
        std::string text;
        const char* digest;
    } vectors[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        // The padding's edge cases: the length just fits, just does not, one block, nearly two.
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {std::string(119, 'a'), "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
    };
    for (const auto& vector : vectors) {
        for (size_t chunk : {size_t(1), size_t(63), size_t(64), size_t(65), size_t(4096), size_t(70000)}) {
            if (vector.text.size() > 100000 && chunk < 64)
                continue;
            EXPECT_EQ(Sha256Of<CSha256>(vector.text, chunk), vector.digest)
                << vector.text.size() << " by " << chunk;
            EXPECT_EQ(Sha256Of<CSha256Pipeline>(vector.text, chunk), vector.digest)
                << vector.text.size() << " by " << chunk << " on the digest's thread";
        }
    }
}

TEST(Sha256, OfAFileAndOfAFileThatIsNotThere) {
    CRecordFolder folder;
    const std::string path = folder.Home() + "/abc.bin";
    std::ofstream(path, std::ios::binary) << "abc";
    std::string hex;
    ASSERT_TRUE(CSha256::HexOfFile(path, hex));
    EXPECT_EQ(hex, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_FALSE(CSha256::HexOfFile(folder.Home() + "/missing.bin", hex));
}

TEST(JsonText, AnyTextSurvivesTheRoundTrip) {
    std::string everyByte;
    for (int c = 1; c < 256; ++c)
        everyByte += static_cast<char>(c);
    for (const std::string& text : {std::string(), std::string("plain"), std::string("\"quoted\" \\ back"),
                                    std::string("line\nbreak\r\ttab"), everyByte}) {
        const std::string line = CJsonObjectWriter().Add("t", text).Add("n", int64_t(-42)).Text();
        EXPECT_EQ(line.find('\n'), std::string::npos) << "one line whatever the text";
        CJsonValue value;
        ASSERT_TRUE(CJsonValue::Parse(line, value)) << line;
        EXPECT_EQ(value["t"].Text(), text);
        EXPECT_EQ(value["n"].Integer(), -42);
    }
}

TEST(JsonText, DamagedOrHostileTextIsRefused) {
    for (const std::string& text : std::vector<std::string>{
             "", "{", "{\"a\":}", "{\"a\" 1}", "{\"a\":1,}", "[1,2", "\"open", "{\"a\":1} x", "tru",
             "{\"a\":\"\\q\"}", "{\"a\":\"\\u12\"}", std::string(200, '[') + std::string(200, ']')}) {
        CJsonValue value;
        EXPECT_FALSE(CJsonValue::Parse(text, value)) << text;
    }
    CJsonValue value;
    ASSERT_TRUE(
        CJsonValue::Parse(" { \"a\" : [ true , null , 1.5e1 , { } ] , \"b\" : \"\\u00e9\\/\" } ", value));
    ASSERT_EQ(value["a"].Items().size(), 4u);
    EXPECT_TRUE(value["a"].Items()[0].Bool());
    EXPECT_EQ(value["a"].Items()[2].Integer(), 15);
    EXPECT_EQ(value["b"].Text(), "\xe9/");
    EXPECT_EQ(value["missing"].Kind(), CJsonValue::EKind::Null);
    // Numbers beyond a whole number's range read as its ends, not as whatever the conversion makes.
    ASSERT_TRUE(CJsonValue::Parse("[1e999,-1e999,1e19,-9223372036854775808]", value));
    EXPECT_EQ(value.Items()[0].Integer(), INT64_MAX);
    EXPECT_EQ(value.Items()[1].Integer(), INT64_MIN);
    EXPECT_EQ(value.Items()[2].Integer(), INT64_MAX);
    EXPECT_EQ(value.Items()[3].Integer(), INT64_MIN);
}

ServiceRecord Record(const std::string& time, const std::string& operation) {
    ServiceRecord record;
    record.strTime = time;
    record.strOperation = operation;
    record.strLink = "COM";
    record.strFile = "app.img";
    record.nFileSize = 1234;
    record.strFileSha256 = std::string(64, 'f');
    record.regions = {"os", "application"};
    record.eraseCommands = {"+++0", "+++1"};
    record.messages = {"Download complete.", "Should the controller be restarted now?"};
    record.nResult = 1;
    record.bOk = true;
    record.nBytesSent = 1234;
    record.nBytesAcknowledged = 1000;
    return record;
}

TEST(ServiceRecordBook, RecordsGoToTheirDaysFileAndComeBackFromADate) {
    CRecordFolder folder;
    std::string error;
    ASSERT_TRUE(CServiceRecordBook::Append(Record("2026-12-07T23:59:59+01:00", "connect"), error)) << error;
    ASSERT_TRUE(CServiceRecordBook::Append(Record("2026-12-08T08:00:00+01:00", "load"), error)) << error;
    ASSERT_TRUE(CServiceRecordBook::Append(Record("2026-12-08T09:00:00+01:00", "erase"), error)) << error;
    // A damaged line (a disk that filled up) costs that line only.
    std::ofstream(folder.Records() + "/2026-12-08.jsonl", std::ios::app) << "{\"time\":\"2026-12-0\n\n";
    std::ofstream(folder.Records() + "/notes.txt") << "not a record file";

    std::vector<ServiceRecord> records;
    size_t skipped = 0;
    ASSERT_TRUE(CServiceRecordBook::ReadSince("", records, skipped, error)) << error;
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(skipped, 1u);
    EXPECT_EQ(records[0].strOperation, "connect");
    EXPECT_EQ(records[1].ToJson(), Record("2026-12-08T08:00:00+01:00", "load").ToJson());

    ASSERT_TRUE(CServiceRecordBook::ReadSince("2026-12-08", records, skipped, error));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].strOperation, "load");
    ASSERT_TRUE(CServiceRecordBook::ReadSince("2026-12-09", records, skipped, error));
    EXPECT_TRUE(records.empty());
}

TEST(ServiceRecordBook, AFolderThatCannotBeWrittenIsAnErrorWithItsPath) {
    CRecordFolder folder;
    // A plain file where the folder should be: no permission trick that root would pass through.
    std::ofstream(folder.Home() + "/dravik") << "in the way";
    std::string error;
    EXPECT_FALSE(CServiceRecordBook::Append(Record("2026-12-08T08:00:00+01:00", "load"), error));
    EXPECT_NE(error.find(folder.Home() + "/dravik"), std::string::npos) << error;
    std::vector<ServiceRecord> records;
    size_t skipped = 0;
    EXPECT_FALSE(CServiceRecordBook::ReadSince("", records, skipped, error));
    EXPECT_NE(error.find("cannot read"), std::string::npos) << error;

    // A day's file that cannot be read is an error too, not a day without records.
    CRecordFolder other;
    ASSERT_TRUE(CServiceRecordBook::Append(Record("2026-12-08T08:00:00+01:00", "load"), error)) << error;
    ASSERT_EQ(::mkdir((other.Records() + "/2026-12-09.jsonl").c_str(), 0755), 0);
    EXPECT_FALSE(CServiceRecordBook::ReadSince("", records, skipped, error));
    EXPECT_NE(error.find(other.Records() + "/2026-12-09.jsonl"), std::string::npos) << error;
}

TEST(ServiceRecordBook, ManyProgramsAppendingAtOnceNeverTearALine) {
    CRecordFolder folder;
    constexpr int kWriters = 6;
    constexpr int kEach = 150;
    std::vector<pid_t> children;
    for (int writer = 0; writer < kWriters; ++writer) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ServiceRecord record = Record("2026-12-08T10:00:00+01:00", "load");
            // Long enough that a torn write would show: many kilobytes a line.
            record.messages.assign(40, std::string(200, static_cast<char>('a' + writer)));
            std::string error;
            for (int i = 0; i < kEach; ++i) {
                record.nResult = writer * 1000 + i;
                if (!CServiceRecordBook::Append(record, error))
                    ::_exit(1);
            }
            ::_exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::vector<ServiceRecord> records;
    size_t skipped = 0;
    std::string error;
    ASSERT_TRUE(CServiceRecordBook::ReadSince("", records, skipped, error)) << error;
    EXPECT_EQ(skipped, 0u);
    ASSERT_EQ(records.size(), size_t(kWriters * kEach));
    for (const ServiceRecord& record : records)
        EXPECT_EQ(record.messages.back()[0], 'a' + record.nResult / 1000);
}

TEST(ServiceRecordBook, TheEnvironmentTurnsRecordingOff) {
    CRecordFolder folder;
    EXPECT_TRUE(CServiceRecordBook::EnabledByEnvironment());
    for (const char* value : {"1", "yes"}) {
        ::setenv("DRAVIK_NO_RECORD", value, 1);
        EXPECT_FALSE(CServiceRecordBook::EnabledByEnvironment()) << value;
    }
    for (const char* value : {"", "0"}) {
        ::setenv("DRAVIK_NO_RECORD", value, 1);
        EXPECT_TRUE(CServiceRecordBook::EnabledByEnvironment()) << value;
    }
}

} // namespace
