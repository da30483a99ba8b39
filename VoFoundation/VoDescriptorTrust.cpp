#include "VoFoundation/VoDescriptorTrust.h"

#include <string.h>

namespace {

constexpr const char* kTrustedPrincipals[] = {
    "SY",
    "S-1-5-18",
    "BA",
    "S-1-5-32-544",
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",  // TrustedInstaller
};

// A part of the SDDL text: [begin, end).
struct Span {
    const char* begin;
    const char* end;
    bool is(const char* text) const
    {
        size_t length = strlen(text);
        return size_t(end - begin) == length && strncmp(begin, text, length) == 0;
    }
};

bool IsTrusted(Span sid, const char* userSid, bool userTrusted)
{
    for (const char* principal : kTrustedPrincipals) {
        if (sid.is(principal))
            return true;
    }
    return userTrusted && userSid && userSid[0] && sid.is(userSid);
}

// The access mask of an entry's rights: a number, or SDDL's two-letter codes. An unknown code
// counts as every right.
unsigned long RightsMask(Span rights)
{
    if (rights.end - rights.begin > 2 && rights.begin[0] == '0' &&
        (rights.begin[1] == 'x' || rights.begin[1] == 'X')) {
        unsigned long mask = 0;
        for (const char* p = rights.begin + 2; p < rights.end; ++p) {
            char c = *p;
            int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
            if (digit < 0 || mask > 0x0FFFFFFFul)
                return ~0ul;
            mask = mask << 4 | (unsigned long)digit;
        }
        return mask;
    }
    // SDDL's codes, two letters each, and their masks in the same order.
    static const char kCodes[] = "GAGRGWGXRCSDWDWORPWPCCDCLCSWLODTCRFAFRFWFXKAKRKWKX";
    static const unsigned long kMasks[] = {
        0x10000000, 0x80000000, 0x40000000, 0x20000000, 0x20000,  0x10000,  0x40000,
        0x80000,    0x10,       0x20,       0x1,        0x2,      0x4,      0x8,
        0x80,       0x40,       0x100,      0x1F01FF,   0x120089, 0x120116, 0x1200A0,
        0xF003F,    0x20019,    0x20006,    0x20019,
    };
    static_assert(sizeof(kCodes) - 1 == 2 * sizeof(kMasks) / sizeof(kMasks[0]), "codes");
    if ((rights.end - rights.begin) % 2 != 0)
        return ~0ul;
    unsigned long mask = 0;
    for (const char* p = rights.begin; p < rights.end; p += 2) {
        unsigned long code = ~0ul;
        for (size_t i = 0; kCodes[2 * i]; ++i) {
            if (p[0] == kCodes[2 * i] && p[1] == kCodes[2 * i + 1])
                code = kMasks[i];
        }
        mask |= code;
    }
    return mask;
}

// Splits an entry "(type;flags;rights;object;inherited object;sid[;...])" into its fields.
bool EntryFields(Span entry, Span (&fields)[6])
{
    const char* at = entry.begin;
    for (int i = 0; i < 6; ++i) {
        const char* end = at;
        while (end < entry.end && *end != ';')
            ++end;
        fields[i] = {at, end};
        if (i < 5 && end == entry.end)
            return false;
        at = end + 1;
    }
    return true;
}

// True when the entry lets someone untrusted use writeRights on the object.
bool GrantsOthersWrite(Span entry, const char* userSid, bool userTrusted, unsigned long writeRights)
{
    Span fields[6];
    if (!EntryFields(entry, fields))
        return true;
    const Span& type = fields[0];
    // Denying entries take rights away; they never give any.
    if (type.is("D") || type.is("OD") || type.is("XD"))
        return false;
    // Inherit-only: a right over children made later, which are judged on their own.
    for (const char* flag = fields[1].begin; flag + 1 < fields[1].end; flag += 2) {
        if (flag[0] == 'I' && flag[1] == 'O')
            return false;
    }
    const Span& sid = fields[5];
    if (sid.is("OW") || sid.is("S-1-3-4"))  // OWNER RIGHTS: the owner, already judged
        return false;
    if (sid.is("CO") || sid.is("CG") || sid.is("S-1-3-0") || sid.is("S-1-3-1"))
        return false;
    if (IsTrusted(sid, userSid, userTrusted))
        return false;
    return (RightsMask(fields[2]) & writeRights) != 0;
}

}  // namespace

VoTrustVerdict VoJudgeDescriptor(const char* sddl, const char* userSid, bool userTrusted,
                                 unsigned long writeRights)
{
    if (!sddl)
        return kVoOwnerUntrusted;
    // "O:owner" runs to the next section ("G:", "D:" or "S:").
    const char* owner = strstr(sddl, "O:");
    const char* dacl = strstr(sddl, "D:");
    if (owner != sddl)
        return kVoOwnerUntrusted;
    const char* ownerEnd = owner + 2;
    while (*ownerEnd && !(ownerEnd[1] == ':' && strchr("GDS", ownerEnd[0])))
        ++ownerEnd;
    if (!IsTrusted({owner + 2, ownerEnd}, userSid, userTrusted))
        return kVoOwnerUntrusted;

    // Without a DACL everyone may do everything.
    if (!dacl || dacl < ownerEnd)
        return kVoDaclUntrusted;
    const char* at = dacl + 2;
    while (*at && *at != '(' && *at != ':')
        ++at;
    if (strncmp(dacl + 2, "NO_ACCESS_CONTROL", 17) == 0)
        return kVoDaclUntrusted;
    while (*at == '(') {
        const char* close = strchr(at, ')');
        if (!close)
            return kVoDaclUntrusted;
        if (GrantsOthersWrite({at + 1, close}, userSid, userTrusted, writeRights))
            return kVoDaclUntrusted;
        at = close + 1;
    }
    // The DACL ends at the next section (a SACL, "S:") or at the end of the text.
    return *at == '\0' || (at[0] == 'S' && at[1] == ':') ? kVoTrusted : kVoDaclUntrusted;
}
