#include "PackProgress.h"

namespace pack {

namespace {

constexpr auto kShortestInterval = std::chrono::milliseconds(250);
constexpr double kMiB = 1024.0 * 1024.0;

std::string Format(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

std::string SizeText(uint64_t bytes)
{
    if (bytes < 1024)
        return std::to_string(bytes) + " bytes";
    if (bytes < 1024 * 1024)
        return Format("%.1f KiB", bytes / 1024.0);
    if (bytes < uint64_t(1) << 30)
        return Format("%.1f MiB", bytes / kMiB);
    return Format("%.2f GiB", bytes / (kMiB * 1024.0));
}

std::string DurationText(double seconds)
{
    const long total = seconds > 0 ? static_cast<long>(seconds + 0.5) : 0;
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60,
                      total % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

PackProgress::PackProgress(std::FILE* terminal, size_t totalBytes)
    : terminal_(terminal), total_(totalBytes), start_(Clock::now())
{
}

void PackProgress::Show(size_t doneBytes)
{
    if (!terminal_)
        return;
    const Clock::time_point now = Clock::now();
    if (shown_ && now - shownAt_ < kShortestInterval)
        return;
    shown_ = true;
    shownAt_ = now;
    const unsigned percent = total_ ? static_cast<unsigned>(doneBytes * 100.0 / total_) : 100;
    std::string line = "loader-pack: " + std::to_string(percent) + " % of " + SizeText(total_);
    const double seconds = std::chrono::duration<double>(now - start_).count();
    if (doneBytes > 0 && seconds > 0) {
        const double rate = doneBytes / seconds;
        line += Format(", %.2f MiB/s", rate / kMiB);
        if (doneBytes < total_)
            line += ", " + DurationText((total_ - doneBytes) / rate) + " left";
    }
    Write(line);
}

void PackProgress::Clear()
{
    if (terminal_ && width_ > 0) {
        std::fprintf(terminal_, "\r%*s\r", static_cast<int>(width_), "");
        std::fflush(terminal_);
        width_ = 0;
    }
}

void PackProgress::Write(const std::string& text)
{
    // Blanks over what is left of a longer line before.
    const size_t blanks = width_ > text.size() ? width_ - text.size() : 0;
    std::fprintf(terminal_, "\r%s%*s", text.c_str(), static_cast<int>(blanks), "");
    std::fflush(terminal_);
    width_ = text.size();
}

}  // namespace pack
