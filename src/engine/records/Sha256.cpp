#include "engine/records/Sha256.h"

#include "platform/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

CSha256::CSha256() : m_pContext(::EVP_MD_CTX_new()) {
    m_bValid = m_pContext && ::EVP_DigestInit_ex(m_pContext, ::EVP_sha256(), nullptr) == 1;
}

CSha256::~CSha256() {
    ::EVP_MD_CTX_free(m_pContext);
}

void CSha256::Update(const uint8_t* data, size_t length) {
    if (m_bValid && length > 0)
        m_bValid = ::EVP_DigestUpdate(m_pContext, data, length) == 1;
}

std::array<uint8_t, 32> CSha256::Final() {
    std::array<uint8_t, 32> digest{};
    unsigned int size = 0;
    m_bValid =
        m_bValid && ::EVP_DigestFinal_ex(m_pContext, digest.data(), &size) == 1 && size == digest.size();
    return digest;
}

std::string CSha256::Hex(const std::array<uint8_t, 32>& digest) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

bool CSha256::HexOfFile(const std::string& path, std::string& hex) {
    CUniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.IsValid())
        return false;
    CSha256 sha;
    if (!sha.IsValid())
        return false;
    uint8_t buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        sha.Update(buffer, static_cast<size_t>(got));
    }
    const std::array<uint8_t, 32> digest = sha.Final();
    if (!sha.IsValid())
        return false;
    hex = Hex(digest);
    return true;
}
