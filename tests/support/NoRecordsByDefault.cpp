// Linked into every test program: nothing a test does is recorded in the person's own record folder. A
// test of the records turns recording on for a private folder (support/RecordFolder.h); the programs a
// test starts inherit the setting.
#include <cstdlib>

namespace {

const bool kNoRecords = [] { return ::setenv("DRAVIK_NO_RECORD", "1", 1) == 0; }();

} // namespace
