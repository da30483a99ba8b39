#include "CodePage.h"

#include <errno.h>
#include <stdio.h>

#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace {

constexpr int kUtf8CodePage = 65001;

#ifdef _WIN32
// Windows' own conversions, those of the machines the loader runs on.
bool ToWide(int codePage, const std::string& in, std::wstring& wide)
{
    if (in.empty())
        return true;
    const int size = static_cast<int>(in.size());
    const int length =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), size, nullptr, 0);
    wide.resize(length);
    return length > 0 && MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), size,
                                             &wide[0], length) == length;
}

bool FromWide(int codePage, const std::wstring& wide, std::string& out)
{
    out.clear();
    if (wide.empty())
        return true;
    const DWORD flags = codePage == kUtf8CodePage ? 0 : WC_NO_BEST_FIT_CHARS;
    const int size = static_cast<int>(wide.size());
    BOOL replaced = FALSE;
    BOOL* usedDefault = codePage == kUtf8CodePage ? nullptr : &replaced;
    const int length =
        WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, usedDefault);
    out.resize(length);
    std::wstring back;
    // Carried exactly when nothing was replaced and the text converts back to the same.
    return length > 0 &&
           WideCharToMultiByte(codePage, flags, wide.data(), size, &out[0], length, nullptr,
                               usedDefault) == length &&
           !replaced && ToWide(codePage, out, back) && back == wide;
}

// Converts text between code pages; false when in is not text of from, or holds a character
// that to cannot carry exactly.
bool Convert(int from, int to, const std::string& in, std::string& out)
{
    std::wstring wide;
    return ToWide(from, in, wide) && FromWide(to, wide, out);
}
#else
// Converts with iconv; false when the text holds a sequence the conversion cannot carry.
bool ConvertNamed(const std::string& from, const std::string& to, const std::string& in,
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

// Converts text between code pages; false when in is not text of from, or holds a character
// that to cannot carry exactly. From UTF-8 to UTF-8 the text is checked by the way to UTF-32.
bool Convert(int from, int to, const std::string& in, std::string& out)
{
    if (from == to) {
        out = in;
        std::string wide;
        return ConvertNamed(IconvName(from), "UTF-32LE", in, wide);
    }
    return ConvertNamed(IconvName(from), IconvName(to), in, out);
}
#endif

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
    if (!Convert(kUtf8CodePage, kUtf8CodePage, utf8, checked)) {
        error = "is not valid UTF-8 text";
        return false;
    }
    if (codePage == kUtf8CodePage) {
        out = utf8;
        return true;
    }
    if (!Convert(kUtf8CodePage, codePage, utf8, out)) {
        error =
            "holds a character that code page " + std::to_string(codePage) + " cannot represent";
        return false;
    }
    return true;
}

std::string ForDisplay(const std::string& text, int codePage)
{
    std::string utf8;
    bool converted = codePage != 0 && Convert(codePage, kUtf8CodePage, text, utf8);
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
