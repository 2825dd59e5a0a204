// SHA-256 of bytes and of files, so that a service record names exactly the file that reached a
// controller. The digest is the crypto library's, which uses the processor's SHA instructions where it
// has them: a record of a large file costs little beside the work on it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct evp_md_ctx_st;

class CSha256 {
public:
    CSha256();
    ~CSha256();
    CSha256(const CSha256&) = delete;
    CSha256& operator=(const CSha256&) = delete;

    // False when the library could not set up a digest (out of memory); the digest is then not valid.
    bool IsValid() const { return m_bValid; }
    void Update(const uint8_t* data, size_t length);
    // The digest; the object must not be updated afterwards.
    std::array<uint8_t, 32> Final();

    // Lower-case hexadecimal digest of a whole file; false when it cannot be read.
    static bool HexOfFile(const std::string& path, std::string& hex);
    static std::string Hex(const std::array<uint8_t, 32>& digest);

private:
    evp_md_ctx_st* m_pContext = nullptr;
    bool m_bValid = false;
};
