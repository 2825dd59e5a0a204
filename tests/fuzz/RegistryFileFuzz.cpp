// Any registry export file (REGEDIT4, UTF-8 or UTF-16 version 5): loading it ends, and a value it reports
// belongs to a key it reports.
#include "platform/RegistryFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                    std::string("/dravik-registry-fuzz-") + std::to_string(::getpid()) +
                                    ".reg";
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    CRegistryFile registry;
    if (!registry.Load(path))
        std::abort();
    std::remove(path.c_str());
    // The keys and value a fuzzer finds from the tool's own example, and the short hive form.
    static const char* const kKeys[] = {"HKEY_LOCAL_MACHINE\\Software\\Arvenco\\BiosTool",
                                        "HKLM\\Software\\Arvenco\\BiosTool", "HKEY_LOCAL_MACHINE\\a",
                                        "HKLM\\a"};
    for (const char* key : kKeys) {
        std::string value;
        if (registry.QueryString(key, "Install_Dir", value) && !registry.HasKey(key))
            std::abort();
        if (registry.QueryString(key, "", value) && !registry.HasKey(key))
            std::abort();
    }
    return 0;
}
