// Checks one signature with the Windows verifier of the release feed (CNG), on its own:
//
//   signatureprobe.exe KEYHEX MESSAGEFILE SIGNATUREHEX
//
// KEYHEX is the 65-byte public point, SIGNATUREHEX the 64-byte r||s. Prints "valid" (exit 0) or
// "invalid" (exit 1); 2 for wrong arguments.
#include "platform/win/api/signature.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

bool fromHex(const std::string &text, std::vector<unsigned char> *out)
{
    if (text.size() % 2)
        return false;
    out->clear();
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned value = 0;
        if (std::sscanf(text.c_str() + i, "%2x", &value) != 1)
            return false;
        out->push_back(static_cast<unsigned char>(value));
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<unsigned char> key, signature;
    if (argc != 4 || !fromHex(argv[1], &key) || key.size() != 65
        || !fromHex(argv[3], &signature) || signature.size() != 64) {
        std::fprintf(stderr, "usage: signatureprobe KEYHEX MESSAGEFILE SIGNATUREHEX\n");
        return 2;
    }
    std::ifstream file(argv[2], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 2;
    }
    const std::vector<unsigned char> message(
        (std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const bool valid = win32::VerifyP256Signature(
        key.data(), message.data(), message.size(), signature.data());
    std::puts(valid ? "valid" : "invalid");
    return valid ? 0 : 1;
}
