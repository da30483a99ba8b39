// The parameter block text that the stamping tool writes: one entry per switch and per
// custom-parameter text, in the grammar the loader reads.
#pragma once
#include <string>
#include <vector>

struct StampItem {
    bool isCustom = false;  // --custom TEXT, else --switch Name[=Value]
    std::string name;       // switch name (empty for custom)
    bool hasValue = false;
    std::string value;  // switch value, or the custom-parameter text
};

// Splits "Name" or "Name=Value" at the first "=".
StampItem SplitSwitch(const std::string& text);

// Brings an item's texts into the code page the loader will run under (0: none named, so
// printable ASCII only) and checks that the loader, and the installer after it, read them
// back as the user typed them. Refuses, with the reason in error, what would be misread.
bool PrepareItem(StampItem& item, int codePage, std::string& error);

// The entries joined by one blank, blank-filled to blockChars. Refuses a text that would not
// fit the block.
bool ComposeStampText(const std::vector<StampItem>& items, size_t blockChars, std::string& text,
                      std::string& error);
