// What loader-pack shows while it packs, and how it writes sizes and times.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace pack {

// "512 bytes", "17.0 KiB", "64.0 MiB", "1.25 GiB".
std::string SizeText(uint64_t bytes);

// "0:07", "12:34", "1:02:03".
std::string DurationText(double seconds);

// One line on a terminal, written over in place: the share of the input packed, the rate, and
// the time the rest should take. Written at most four times a second, so packing many small
// chunks does not wait on the terminal. Shows nothing when terminal is null.
class PackProgress {
public:
    PackProgress(std::FILE* terminal, size_t totalBytes);

    // The first call shows the line at once; later ones when a quarter second has passed.
    void Show(size_t doneBytes);

    // Takes the line away, so that what comes next starts on a clean line.
    void Clear();

private:
    using Clock = std::chrono::steady_clock;

    void Write(const std::string& text);

    std::FILE* terminal_;
    size_t total_;
    Clock::time_point start_;
    Clock::time_point shownAt_;
    bool shown_ = false;
    size_t width_ = 0;  // of the line as it stands on the terminal
};

}  // namespace pack
