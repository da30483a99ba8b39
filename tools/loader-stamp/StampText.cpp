#include "StampText.h"

#include "CodePage.h"

#include "rules/ParamBlock.h"

namespace {

// The block's entries end at the first double quote, so no text in it may hold one; control
// characters would reach the installer's command line as they are.
bool CheckCarried(const std::string& text, const char* what, std::string& error)
{
    for (unsigned char c : text) {
        if (c == '"') {
            error = std::string(what) +
                    " holds a double quote, which would end its entry in the parameter block";
            return false;
        }
        if (c < 0x20 || c == 0x7F) {
            error = std::string(what) + " holds a control character";
            return false;
        }
    }
    return true;
}

// Without a code page, only printable ASCII is the same on every machine.
bool CheckAscii(const std::string& text, const char* what, std::string& error)
{
    for (unsigned char c : text) {
        if (c >= 0x80) {
            error = std::string(what) +
                    " holds text outside printable ASCII, which the loader passes on in the ANSI "
                    "code page of the machine it runs on; name that code page with --codepage "
                    "(for example --codepage 1252)";
            return false;
        }
    }
    return true;
}

bool Encode(std::string& text, int codePage, const char* what, std::string& error)
{
    if (codePage == 0)
        return CheckAscii(text, what, error);
    std::string converted;
    if (!FromUtf8(text, codePage, converted, error)) {
        error = std::string(what) + " " + error;
        return false;
    }
    text = converted;
    return true;
}

}  // namespace

StampItem SplitSwitch(const std::string& text)
{
    StampItem item;
    size_t equals = text.find('=');
    item.name = text.substr(0, equals);
    if (equals != std::string::npos) {
        item.hasValue = true;
        item.value = text.substr(equals + 1);
    }
    return item;
}

bool PrepareItem(StampItem& item, int codePage, std::string& error)
{
    if (item.isCustom) {
        return Encode(item.value, codePage, "the custom-parameter text", error) &&
               CheckCarried(item.value, "the custom-parameter text", error);
    }
    if (item.name.empty()) {
        error = "the switch has no name";
        return false;
    }
    const bool typedBackslash = !item.value.empty() && item.value.back() == '\\';
    if (!Encode(item.name, codePage, "the name", error) ||
        !Encode(item.value, codePage, "the value", error) ||
        !CheckCarried(item.name, "the name", error) ||
        !CheckCarried(item.value, "the value", error))
        return false;
    if (item.name.find(' ') != std::string::npos) {
        error = "the name holds a blank, which would end the name";
        return false;
    }
    if (loader::IsCustomParamsName(item.name.data(), item.name.size())) {
        error = "the name begins with CustomParams, so the switch would not reach the installer; "
                "use --custom";
        return false;
    }
    // The installer reads a backslash before the closing quote as a quote inside the value:
    // /Dir "C:\App\" would run on into the switches after it. In a double-byte code page the
    // second byte of a character can be that backslash.
    if (item.hasValue && !item.value.empty() && item.value.back() == '\\') {
        const char* consequence =
            ", which the installer would read together with the closing quote as a quote inside "
            "the value, running the switches after it into it";
        if (typedBackslash)
            error = std::string("the value ends in a backslash") + consequence;
        else
            error = "the value's last character ends, in code page " + std::to_string(codePage) +
                    ", in the byte of a backslash" + consequence;
        return false;
    }
    return true;
}

bool ComposeStampText(const std::vector<StampItem>& items, size_t blockChars, std::string& text,
                      std::string& error)
{
    text.clear();
    for (const StampItem& item : items) {
        if (!text.empty())
            text += ' ';
        text += loader::kEntryOpener;
        if (item.isCustom) {
            text += loader::kCustomParamsName;
            text += ' ';
            text += item.value;
        } else {
            text += item.name;
            if (item.hasValue)
                text += ' ' + item.value;
        }
        text += '"';
    }
    if (text.size() > blockChars) {
        error = "the parameters need " + std::to_string(text.size()) +
                " characters, but the parameter block holds " + std::to_string(blockChars);
        return false;
    }
    text.append(blockChars - text.size(), ' ');
    return true;
}
