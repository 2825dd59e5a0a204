// Linked into every test program: each test runs with TMPDIR pointing at a new folder of its own, removed
// with everything in it when the test ends, so no test sees or counts the files of another.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class CPrivateTempDir : public testing::EmptyTestEventListener {
public:
    CPrivateTempDir() {
        const char* base = std::getenv("TMPDIR");
        m_strBase = base != nullptr && *base != '\0' ? base : "/tmp";
    }

    void OnTestStart(const testing::TestInfo&) override {
        std::string pattern = m_strBase + "/dravik-test-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "Could not make a temporary folder in " << m_strBase
                          << ": check that TMPDIR names a writable folder.";
            return;
        }
        m_strFolder = pattern;
        ::setenv("TMPDIR", m_strFolder.c_str(), 1);
    }

    void OnTestEnd(const testing::TestInfo&) override {
        ::setenv("TMPDIR", m_strBase.c_str(), 1);
        if (m_strFolder.empty())
            return;
        std::error_code error;
        std::filesystem::remove_all(m_strFolder, error);
        m_strFolder.clear();
    }

private:
    std::string m_strBase;
    std::string m_strFolder;
};

// Registered before main runs; the listener list owns it.
const bool kRegistered = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new CPrivateTempDir);
    return true;
}();

} // namespace
