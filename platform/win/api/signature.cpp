#include "platform/win/api/signature.h"

#include <windows.h>
// windows.h first: bcrypt.h relies on its types.
#include <bcrypt.h>

#include <cstring>
#include <vector>

namespace win32 {

namespace {

constexpr ULONG kCoordinate = 32;
constexpr ULONG kDigest = 32;

bool succeeded(NTSTATUS status)
{
    return status >= 0;
}

class Provider
{
public:
    explicit Provider(LPCWSTR algorithm)
    {
        if (!succeeded(BCryptOpenAlgorithmProvider(&handle, algorithm, nullptr, 0)))
            handle = nullptr;
    }
    ~Provider()
    {
        if (handle)
            BCryptCloseAlgorithmProvider(handle, 0);
    }
    Provider(const Provider &) = delete;
    Provider &operator=(const Provider &) = delete;
    BCRYPT_ALG_HANDLE handle = nullptr;
};

// SHA-256 through the hash object calls, which every CNG has (BCryptHash needs Windows 10).
bool sha256(const unsigned char *data, std::size_t size, unsigned char *digest)
{
    Provider provider(BCRYPT_SHA256_ALGORITHM);
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!provider.handle || size > 0xFFFFFFFFu
        || !succeeded(BCryptCreateHash(provider.handle, &hash, nullptr, 0, nullptr, 0, 0)))
        return false;
    const bool ok = succeeded(BCryptHashData(hash, const_cast<PUCHAR>(data), ULONG(size), 0))
        && succeeded(BCryptFinishHash(hash, digest, kDigest, 0));
    BCryptDestroyHash(hash);
    return ok;
}

} // namespace

bool VerifyP256Signature(const unsigned char *point, const unsigned char *message,
    std::size_t messageSize, const unsigned char *signature)
{
    if (!point || !signature || (!message && messageSize) || point[0] != 0x04)
        return false;
    unsigned char digest[kDigest];
    if (!sha256(message, messageSize, digest))
        return false;
    // A BCRYPT_ECCPUBLIC_BLOB: its header, then X and Y.
    std::vector<unsigned char> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 2 * kCoordinate);
    BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, kCoordinate};
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, point + 1, 2 * kCoordinate);

    Provider provider(BCRYPT_ECDSA_P256_ALGORITHM);
    BCRYPT_KEY_HANDLE key = nullptr;
    if (!provider.handle
        || !succeeded(BCryptImportKeyPair(provider.handle, nullptr, BCRYPT_ECCPUBLIC_BLOB, &key,
            blob.data(), ULONG(blob.size()), 0)))
        return false;
    const NTSTATUS status = BCryptVerifySignature(key, nullptr, digest, kDigest,
        const_cast<PUCHAR>(signature), 2 * kCoordinate, 0);
    BCryptDestroyKey(key);
    return succeeded(status);
}

} // namespace win32
