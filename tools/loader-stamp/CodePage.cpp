#include "CodePage.h"

#include <errno.h>
#include <iconv.h>
#include <stdio.h>

#include <vector>

namespace {

constexpr int kUtf8CodePage = 65001;

// Converts with iconv; false when the text holds a sequence the conversion cannot carry.
bool Convert(const std::string& from, const std::string& to, const std::string& in,
             std::string& out)
{
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == (iconv_t)-1)
        return false;
    out.clear();
    std::vector<char> input(in.begin(), in.end());
    char* inPtr = input.data();
    size_t inLeft = input.size();
    bool ok = true;
    while (inLeft > 0) {
        char buffer[256];
        char* outPtr = buffer;
        size_t outLeft = sizeof(buffer);
        size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, outPtr - buffer);
        if (result == (size_t)-1 && errno != E2BIG) {
            ok = false;
            break;
        }
        if (result != (size_t)-1 && result > 0) {
            ok = false;  // converted, but not reversibly: a character was replaced
            break;
        }
    }
    if (ok) {
        // The shift state back to its start, for the stateful conversions.
        char buffer[16];
        char* outPtr = buffer;
        size_t outLeft = sizeof(buffer);
        ok = iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != (size_t)-1;
        out.append(buffer, outPtr - buffer);
    }
    iconv_close(cd);
    return ok;
}

std::string IconvName(int codePage)
{
    return codePage == kUtf8CodePage ? "UTF-8" : "CP" + std::to_string(codePage);
}

}  // namespace

bool IsAnsiCodePage(int codePage)
{
    switch (codePage) {
    case 874:
    case 932:
    case 936:
    case 949:
    case 950:
    case kUtf8CodePage:
        return true;
    default:
        return codePage >= 1250 && codePage <= 1258;
    }
}

bool FromUtf8(const std::string& utf8, int codePage, std::string& out, std::string& error)
{
    std::string checked;
    if (!Convert("UTF-8", "UTF-32LE", utf8, checked)) {
        error = "is not valid UTF-8 text";
        return false;
    }
    if (codePage == kUtf8CodePage) {
        out = utf8;
        return true;
    }
    if (!Convert("UTF-8", IconvName(codePage), utf8, out)) {
        error =
            "holds a character that code page " + std::to_string(codePage) + " cannot represent";
        return false;
    }
    return true;
}

std::string ForDisplay(const std::string& text, int codePage)
{
    std::string utf8;
    bool converted = codePage != 0 && Convert(IconvName(codePage), "UTF-8", text, utf8);
    std::string shown;
    for (unsigned char c : converted ? utf8 : text) {
        if (c < 0x20 || c == 0x7F || (!converted && c >= 0x80)) {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            shown += hex;
        } else {
            shown += (char)c;
        }
    }
    return shown;
}
