// A sequence of VoString operations, each checked against std::string as the reference model.
// The input is read as operation codes and their operands; texts may point into the string's
// own array, and allocations may be made to fail.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "FuzzCheck.h"
#include "VoFoundation/VoAllocator.h"
#include "VoFoundation/VoString/VoString.h"
#include "VoFoundation/VoTraceLog.h"

namespace {

class Input {
public:
    Input(const uint8_t* data, size_t size) : _data(data), _size(size) {}
    bool empty() const { return _at >= _size; }
    uint8_t byte() { return _at < _size ? _data[_at++] : 0; }
    // A small signed number, so that negative and out-of-range operands come up often.
    int32 number() { return int32(int8_t(byte())); }
    // Up to 31 bytes; may hold zero bytes, which end the text as the callee sees it.
    std::string text()
    {
        size_t n = byte() % 32;
        std::string t;
        for (size_t i = 0; i < n && !empty(); ++i)
            t.push_back(char(byte()));
        return t;
    }

private:
    const uint8_t* _data;
    size_t _size;
    size_t _at = 0;
};

// What the callee sees of a text and a maximum length.
std::string Prefix(const char* text, int32 maxLength)
{
    size_t n = strlen(text);
    if (maxLength >= 0 && size_t(maxLength) < n)
        n = size_t(maxLength);
    return std::string(text, n);
}

bool InSet(char c, const std::string& set)
{
    return c != 0 && set.find(c) != std::string::npos;
}

void CheckSame(const VoString& actual, const std::string& model)
{
    FUZZ_CHECK(actual.c_str() != nullptr);
    FUZZ_CHECK(actual.length() == int32(model.size()));
    FUZZ_CHECK(strlen(actual.c_str()) == model.size());
    FUZZ_CHECK(memcmp(actual.c_str(), model.data(), model.size()) == 0);
    FUZZ_CHECK(actual.capacity() > actual.length());
}

int Sign(int v)
{
    return (v > 0) - (v < 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool traceReady = VoTraceLog::instance();
    (void)traceReady;
    Input in(data, size);
    VoString s;
    std::string m;
    for (int step = 0; step < 64 && !in.empty(); ++step) {
        const uint8_t op = in.byte();
        const bool failAlloc = (op & 0x80) != 0;  // make one allocation of this step fail
        if (failAlloc)
            VoAllocFailOnCall(1 + (in.byte() % 3));
        const std::string before = m;
        VoStatus status(VO_STATUS_OK);
        bool mayChangeOnFailure = false;  // a removal is done before its insertion may fail
        switch (op % 12) {
        case 0: {
            std::string t = in.text();
            int32 max = in.number();
            status = s.assign(t.c_str(), max);
            if (status.isOk())
                m = Prefix(t.c_str(), max);
            break;
        }
        case 1: {
            std::string t = in.text();
            int32 max = in.number();
            status = s.append(t.c_str(), max);
            if (status.isOk())
                m += Prefix(t.c_str(), max);
            break;
        }
        case 2: {
            std::string t = in.text();
            int32 position = in.number();
            int32 max = in.number();
            status = s._insert(t.c_str(), position, max);
            if (position != -1 && (position < 0 || position > int32(before.size())))
                FUZZ_CHECK(status.code() == VO_STATUS_OUT_OF_BOUNDS);
            if (status.isOk()) {
                if (position == -1)
                    m = Prefix(t.c_str(), max);
                else
                    m.insert(size_t(position), Prefix(t.c_str(), max));
            }
            break;
        }
        case 3: {
            char fill = char(in.byte() % 3 == 0 ? 0 : 'a' + in.byte() % 26);
            int32 newSize = in.number() * 2;
            status = s._resize(fill, newSize);
            if (status.isOk()) {
                size_t target = newSize < 0 ? m.size() : size_t(newSize);
                size_t kept = m.size() < target ? m.size() : target;
                m.resize(kept);
                if (fill != 0)
                    m.append(target - kept, fill);
            }
            break;
        }
        case 4: {
            int32 position = in.number();
            int32 count = in.number();
            std::string t = in.text();
            mayChangeOnFailure = true;
            status = s._remove0(position, count, t.c_str());
            const int32 length = int32(before.size());
            if (length == 0 || count == 0) {
                FUZZ_CHECK(status.isOk());
            } else if (position < 0 || position >= length) {
                FUZZ_CHECK(status.code() == VO_STATUS_OUT_OF_BOUNDS);
            } else if (status.isOk()) {
                if (count < 0 || count > length - position)
                    count = length - position;
                m.erase(size_t(position), size_t(count));
                m.insert(size_t(position), Prefix(t.c_str(), -1));
            }
            break;
        }
        case 5: {
            std::string set = Prefix(in.text().c_str(), -1);
            int32 mode = in.byte() % 4;
            mayChangeOnFailure = true;
            status = mode == 3 ? s.trimRight() : s._trim(set.c_str(), mode);
            if (mode == 3) {
                set = " \n\r\t";
                mode = 2;
            }
            if (status.isOk()) {
                if (mode == 0) {
                    std::string kept;
                    for (char c : m)
                        if (!InSet(c, set))
                            kept += c;
                    m = kept;
                } else if (mode == 1) {
                    size_t n = 0;
                    while (n < m.size() && InSet(m[n], set))
                        ++n;
                    m.erase(0, n);
                } else {
                    size_t n = m.size();
                    while (n > 0 && InSet(m[n - 1], set))
                        --n;
                    m.resize(n);
                }
            }
            break;
        }
        case 6: {
            char c = char(in.byte() % 4 == 0 ? 0 : in.byte());
            int32 position = in.number();
            status = s.setCharAt(c, position);
            if (position < 0 || position >= int32(before.size())) {
                FUZZ_CHECK(status.code() == VO_STATUS_OUT_OF_BOUNDS);
            } else {
                FUZZ_CHECK(status.isOk());
                m[size_t(position)] = c;
                if (c == 0)
                    m.resize(size_t(position));
            }
            break;
        }
        case 7: {
            // A text from the string's own array: appended, inserted or assigned.
            int32 from = int32(in.byte()) % (int32(m.size()) + 1);
            int32 max = in.number();
            int32 kind = in.byte() % 3;
            const std::string t = Prefix(s.c_str() + from, max);
            if (kind == 0) {
                status = s.append(s.c_str() + from, max);
                if (status.isOk())
                    m += t;
            } else if (kind == 1) {
                int32 position = int32(in.byte()) % (int32(m.size()) + 1);
                status = s._insert(s.c_str() + from, position, max);
                if (status.isOk())
                    m.insert(size_t(position), t);
            } else {
                status = s.assign(s.c_str() + from, max);
                if (status.isOk())
                    m = t;
            }
            break;
        }
        case 8: {
            // Whole-string copies and operators; their failures go to the trace log.
            std::string t = Prefix(in.text().c_str(), -1);
            VoString other(t.c_str());
            int32 kind = in.byte() % 4;
            if (kind == 0) {
                s = other;
            } else if (kind == 1) {
                s += other;
            } else if (kind == 2) {
                s = s + t.c_str();
            } else {
                VoString copy(s);
                s = copy;
            }
            if (failAlloc) {
                m = s.c_str();  // a failed copy leaves a defined, possibly partial, state
            } else {
                CheckSame(other, t);
                m = kind == 0 ? t : kind == 3 ? m : m + t;
            }
            break;
        }
        case 9: {
            std::string t = Prefix(in.text().c_str(), -1);
            int32 start = in.number();
            const int32 length = int32(m.size());
            int32 expected = -1;
            if (length != 0 && start >= 0 && start <= length && start + int32(t.size()) <= length) {
                if (t.empty()) {
                    expected = length;  // only the terminator matches an empty text
                    for (int32 p = start; p < length; ++p)
                        if (m[size_t(p)] == 0) {
                            expected = p;
                            break;
                        }
                } else {
                    size_t at = m.find(t, size_t(start));
                    expected = at == std::string::npos ? -1 : int32(at);
                }
            }
            FUZZ_CHECK(s.find(t.c_str(), start) == expected);
            int32 skip = in.number();
            int32 last = -1;
            if (length != 0 && skip >= 0 && skip < length)
                for (int32 p = length - 1 - skip; p >= 0 && last < 0; --p)
                    if (t.find(m[size_t(p)]) != std::string::npos)
                        last = p;
            FUZZ_CHECK(s.findLastOf(t.c_str(), skip) == last);
            break;
        }
        case 10: {
            std::string t = Prefix(in.text().c_str(), -1);
            int32 prefix = in.number();
            size_t limit = m.size() > t.size() ? m.size() : t.size();
            if (prefix >= 0 && size_t(prefix) < limit)
                limit = size_t(prefix);
            int expected = Sign(m.substr(0, limit).compare(t.substr(0, limit)));
            FUZZ_CHECK(Sign(s.compare(t.c_str(), prefix)) == expected);
            int32 position = in.number();
            char c = position < 0 || position > int32(m.size()) ? 0
                     : position == int32(m.size())              ? 0
                                                                : m[size_t(position)];
            FUZZ_CHECK(s.charAt(position) == c);
            break;
        }
        case 11: {
            int32 start = in.number();
            int32 count = in.number();
            const int32 length = int32(m.size());
            std::string expected;
            if (start >= 0 && start <= length && count == -1)
                expected = m.substr(size_t(start));
            else if (start >= 0 && start <= length && count >= 0)
                expected = m.substr(size_t(start), size_t(count));
            VoString part = s.substr(start, count);
            if (!failAlloc)
                CheckSame(part, expected);
            VoString head = s.left(count);
            if (!failAlloc)
                CheckSame(head, count < 0 ? std::string() : m.substr(0, size_t(count)));
            break;
        }
        }
        VoAllocFailOnCall(0);
        if (!status.isOk()) {
            FUZZ_CHECK(status.message()[0] != 0);
            if (mayChangeOnFailure)
                m = s.c_str();
            else
                FUZZ_CHECK(m == before);
        }
        CheckSame(s, m);
        if (VoTraceLog::queuedCount() > 50)
            VoTraceLog::clearQueue();
    }
    return 0;
}
