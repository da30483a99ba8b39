// Reading the loader log: its "(pid, ticks) - text" lines and the line of an error code.
#pragma once

#include <string>
#include <vector>

namespace support {

// One line of the loader log, split into its prefix fields and text.
struct LogLine {
    unsigned long processId = 0;
    unsigned long tick = 0;
    std::string text;
    bool prefixed = false;  // false for a line without the "(pid, ticks) - " prefix
};
std::vector<LogLine> ParseLog(const std::string& content);
std::vector<std::string> LogTexts(const std::string& content);

// The line that follows a logged failure with error code code.
std::string LastErrorLine(long code);

// Index of the first line whose text is text (at or after from), or -1.
int FindLine(const std::vector<LogLine>& lines, const std::string& text, size_t from = 0);
bool Contains(const std::vector<std::string>& texts, const std::string& text);
// The text after the first line equal to line, or "" when line is missing or last.
std::string After(const std::vector<std::string>& texts, const std::string& line);

}  // namespace support
