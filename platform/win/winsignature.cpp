// Win32: signatures of the release feed, verified by the system's CNG.
#include "platform/platform.h"
#include "platform/win/api/signature.h"

bool verifyP256Signature(
    const QByteArray &publicKey, const QByteArray &message, const QByteArray &signature)
{
    if (publicKey.size() != 65 || signature.size() != 64)
        return false;
    return win32::VerifyP256Signature(
        reinterpret_cast<const unsigned char *>(publicKey.constData()),
        reinterpret_cast<const unsigned char *>(message.constData()), size_t(message.size()),
        reinterpret_cast<const unsigned char *>(signature.constData()));
}
