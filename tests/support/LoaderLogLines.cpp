#include "LoaderLogLines.h"

#include <algorithm>
#include <cstdio>

namespace support {

std::vector<LogLine> ParseLog(const std::string& content)
{
    std::vector<LogLine> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find("\r\n", start);
        std::string raw =
            content.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? content.size() : end + 2;
        LogLine line;
        int consumed = 0;
        if (sscanf(raw.c_str(), "(%lX, %lu) - %n", &line.processId, &line.tick, &consumed) == 2 &&
            consumed > 0) {
            line.prefixed = true;
            line.text = raw.substr(consumed);
        } else {
            line.text = raw;
        }
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> LogTexts(const std::string& content)
{
    std::vector<std::string> texts;
    for (const LogLine& line : ParseLog(content))
        texts.push_back(line.text);
    return texts;
}

std::string LastErrorLine(long code)
{
    return "GetLastError() returned " + std::to_string(code) + " for the preceeding failure!";
}

int FindLine(const std::vector<LogLine>& lines, const std::string& text, size_t from)
{
    for (size_t i = from; i < lines.size(); ++i) {
        if (lines[i].text == text)
            return (int)i;
    }
    return -1;
}

bool Contains(const std::vector<std::string>& texts, const std::string& text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

std::string After(const std::vector<std::string>& texts, const std::string& line)
{
    auto it = std::find(texts.begin(), texts.end(), line);
    return it == texts.end() || it + 1 == texts.end() ? std::string() : *(it + 1);
}

}  // namespace support
