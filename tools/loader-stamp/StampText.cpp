#include "StampText.h"

#include "loader/ParamBlock.h"

namespace {

// The block's entries end at the first double quote, so no text in it may hold one; control
// characters would reach the installer's command line as they are.
bool CheckCarried(const std::string& text, const char* what, std::string& error)
{
    for (unsigned char c : text) {
        if (c == '"') {
            error = std::string(what) + " holds a double quote, which the parameter block cannot carry";
            return false;
        }
        if (c < 0x20 || c == 0x7F) {
            error = std::string(what) + " holds a control character";
            return false;
        }
    }
    return true;
}

}  // namespace

bool ParseSwitch(const std::string& spec, StampItem& item, std::string& error)
{
    item = StampItem();
    size_t equals = spec.find('=');
    item.name = spec.substr(0, equals);
    if (equals != std::string::npos) {
        item.hasValue = true;
        item.value = spec.substr(equals + 1);
    }
    if (item.name.empty()) {
        error = "switch '" + spec + "' has no name";
        return false;
    }
    if (item.name.find(' ') != std::string::npos) {
        error = "switch name '" + item.name + "' holds a blank, which would end the name";
        return false;
    }
    if (loader::IsCustomParamsName(item.name.data(), item.name.size())) {
        error = "switch name '" + item.name +
                "' begins with CustomParams and would not reach the installer; use --custom";
        return false;
    }
    return CheckCarried(item.name, "switch name", error) &&
           CheckCarried(item.value, "switch value", error);
}

bool CheckCustomText(const std::string& text, std::string& error)
{
    return CheckCarried(text, "custom-parameter text", error);
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
