#include "platform/platform.h"

#include <openssl/bn.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>

namespace {

constexpr int kPointSize = 65;
constexpr int kScalarSize = 32;

// A P-256 public key as DER SubjectPublicKeyInfo is this fixed header (id-ecPublicKey,
// prime256v1, a 66-byte bit string) followed by the uncompressed point. Going through it needs
// no deprecated EC_KEY calls and works the same on OpenSSL 1.1 and 3.
const unsigned char kSpkiHeader[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
    0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07, 0x03,
    0x42, 0x00};

struct KeyFree { void operator()(EVP_PKEY *key) const { EVP_PKEY_free(key); } };
struct SigFree { void operator()(ECDSA_SIG *sig) const { ECDSA_SIG_free(sig); } };
struct MdFree { void operator()(EVP_MD_CTX *ctx) const { EVP_MD_CTX_free(ctx); } };

std::unique_ptr<EVP_PKEY, KeyFree> importPoint(const QByteArray &point)
{
    QByteArray der(reinterpret_cast<const char *>(kSpkiHeader), sizeof kSpkiHeader);
    der += point;
    const auto *cursor = reinterpret_cast<const unsigned char *>(der.constData());
    // Decoding the point checks that it lies on the curve.
    std::unique_ptr<EVP_PKEY, KeyFree> key(d2i_PUBKEY(nullptr, &cursor, der.size()));
    return key;
}

// OpenSSL verifies DER signatures; CNG and the signing tool use the raw r||s form.
QByteArray derSignature(const QByteArray &raw)
{
    std::unique_ptr<ECDSA_SIG, SigFree> sig(ECDSA_SIG_new());
    const auto *bytes = reinterpret_cast<const unsigned char *>(raw.constData());
    BIGNUM *r = BN_bin2bn(bytes, kScalarSize, nullptr);
    BIGNUM *s = BN_bin2bn(bytes + kScalarSize, kScalarSize, nullptr);
    if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
        BN_free(r);
        BN_free(s);
        return {};
    }
    const int length = i2d_ECDSA_SIG(sig.get(), nullptr);
    if (length <= 0)
        return {};
    QByteArray der(length, '\0');
    auto *out = reinterpret_cast<unsigned char *>(der.data());
    i2d_ECDSA_SIG(sig.get(), &out);
    return der;
}

} // namespace

bool verifyP256Signature(
    const QByteArray &publicKey, const QByteArray &message, const QByteArray &signature)
{
    if (publicKey.size() != kPointSize || publicKey.at(0) != '\x04'
        || signature.size() != 2 * kScalarSize)
        return false;
    const auto key = importPoint(publicKey);
    const QByteArray der = derSignature(signature);
    std::unique_ptr<EVP_MD_CTX, MdFree> ctx(EVP_MD_CTX_new());
    if (!key || der.isEmpty() || !ctx)
        return false;
    if (EVP_DigestVerifyInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1)
        return false;
    return EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char *>(der.constData()),
               der.size(), reinterpret_cast<const unsigned char *>(message.constData()),
               message.size())
        == 1;
}
