// The parameter block text that the stamping tool writes: one entry per switch and per
// custom-parameter text, in the grammar the loader reads.
#pragma once
#include <string>
#include <vector>

struct StampItem {
    bool isCustom = false;   // --custom TEXT, else --switch Name[=Value]
    std::string name;        // switch name (empty for custom)
    bool hasValue = false;
    std::string value;       // switch value, or the custom-parameter text
};

// Parses "Name" or "Name=Value" (the first "=" splits). Refuses, with a reason, what the
// loader could not read back as this same switch.
bool ParseSwitch(const std::string& text, StampItem& item, std::string& error);

// Checks a custom-parameter text for what the block grammar cannot carry.
bool CheckCustomText(const std::string& text, std::string& error);

// The entries joined by one blank, blank-filled to blockChars. Refuses a text that would not
// fit the block.
bool ComposeStampText(const std::vector<StampItem>& items, size_t blockChars, std::string& text,
                      std::string& error);
