// The 7Plus line codec: code table, CRC, data lines, checked lines, repair.
#include "transfer/SevenPlusCodec.h"

namespace norva {

namespace {

using Symbols = std::array<unsigned char, 216>;

constexpr Symbols makeCode() {
    Symbols code{};
    int v = 0;
    const int ranges[][2] = {{0x21, 0x29}, {0x2B, 0x7E}, {0x80, 0x90}, {0x92, 0x92}, {0x94, 0xFC}};
    for (const auto& r : ranges)
        for (int b = r[0]; b <= r[1]; ++b) code[static_cast<std::size_t>(v++)] = static_cast<unsigned char>(b);
    return code;
}
constexpr Symbols kCode = makeCode();
static_assert(kCode[215] == 0xFC && kCode[110] == 0x92);

constexpr std::array<short, 256> makeValues() {
    std::array<short, 256> values{};
    for (auto& v : values) v = -1;
    for (std::size_t i = 0; i < kCode.size(); ++i) values[kCode[i]] = static_cast<short>(i);
    return values;
}
constexpr std::array<short, 256> kValues = makeValues();

// Header and stop lines hold blanks: their repair tries the blank in place of the last symbol.
constexpr Symbols makeHeaderSymbols() {
    Symbols s = kCode;
    s[215] = ' ';
    return s;
}
constexpr Symbols kHeaderSymbols = makeHeaderSymbols();

constexpr std::array<std::uint16_t, 256> makeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned n = 0; n < 256; ++n) {
        unsigned r = n << 8;
        for (int i = 0; i < 8; ++i) r = (r & 0x8000) ? (r << 1) ^ 0x1021 : r << 1;
        table[n] = static_cast<std::uint16_t>(r);
    }
    return table;
}
constexpr std::array<std::uint16_t, 256> kCrcTable = makeCrcTable();
static_assert(kCrcTable[1] == 0x1021 && kCrcTable[0x80] == 0x9188 && kCrcTable[0xFF] == 0x1EF0);

constexpr std::uint16_t step(std::uint16_t c, unsigned char b) {
    return static_cast<std::uint16_t>(kCrcTable[c >> 8] ^ (((c & 0xFF) << 8) | b));
}

std::uint16_t zeroExtend(std::uint16_t c, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) c = step(c, 0);
    return c;
}

// The CRC is linear: changing the byte at position p of the backward check
// (p bytes follow it) changes the result by kDelta[p][old ^ new].
constexpr std::size_t kCheckedChars = 67;
using DeltaTable = std::array<std::array<std::uint16_t, 256>, kCheckedChars + 1>;
const DeltaTable& deltas() {
    static const DeltaTable table = [] {
        DeltaTable t{};
        for (unsigned e = 0; e < 256; ++e) t[0][e] = static_cast<std::uint16_t>(e);
        for (std::size_t p = 1; p < t.size(); ++p)
            for (unsigned e = 0; e < 256; ++e) t[p][e] = step(t[p - 1][e], 0);
        return t;
    }();
    return table;
}

unsigned char at(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }
int valueAt(std::string_view s, std::size_t i) { return kValues[at(s, i)]; }

// Characters 0..66 taken backwards, as the last two characters carry it.
std::uint16_t backwardCrc(std::string_view line) {
    std::uint16_t c = 0;
    for (std::size_t i = kCheckedChars; i-- > 0;) c = step(c, at(line, i));
    return c;
}

// The backward check stored at `from` (two symbols), or -1.
int storedCheck(std::string_view line, std::size_t from) {
    const int lo = valueAt(line, from);
    const int hi = valueAt(line, from + 1);
    if (lo < 0 || hi < 0) return -1;
    const int v = lo + 216 * hi;
    return v <= 0x7FFF ? v : -1;
}

// One changed character: every position from 66 down, every symbol.
template <class Accept>
std::optional<std::string> repairChanged(std::string_view line, const Symbols& symbols, Accept accept) {
    const int stored = storedCheck(line, kCheckedChars);
    if (stored < 0) return std::nullopt;
    const std::uint16_t crc = backwardCrc(line);
    const DeltaTable& d = deltas();
    for (std::size_t p = kCheckedChars; p-- > 0;) {
        for (unsigned char s : symbols) {
            if (s == at(line, p) || ((crc ^ d[p][at(line, p) ^ s]) & 0x7FFF) != stored) continue;
            std::string candidate(line.substr(0, kSevenPlusLineChars));
            candidate[p] = static_cast<char>(s);
            if (accept(candidate)) return candidate;
        }
    }
    return std::nullopt;
}

// One lost character: every symbol at every position of characters 0..66.
template <class Accept>
std::optional<std::string> repairLost(std::string_view line, const Symbols& symbols, Accept accept) {
    const int stored = storedCheck(line, kCheckedChars - 1);
    if (stored < 0) return std::nullopt;
    const DeltaTable& d = deltas();
    // before[q]: the backward CRC over line[65..q]; after[q]: over line[q-1..0] from zero.
    std::array<std::uint16_t, kCheckedChars + 1> before{};
    std::array<std::uint16_t, kCheckedChars + 1> after{};
    for (std::size_t q = kCheckedChars - 1; q-- > 0;) before[q] = step(before[q + 1], at(line, q));
    for (std::size_t q = 0; q < kCheckedChars; ++q) after[q + 1] = static_cast<std::uint16_t>(d[q][at(line, q)] ^ after[q]);
    for (std::size_t q = kCheckedChars; q-- > 0;) {
        const std::uint16_t base = static_cast<std::uint16_t>(zeroExtend(before[q], q + 1) ^ after[q]);
        for (unsigned char s : symbols) {
            if (((base ^ d[q][s]) & 0x7FFF) != stored) continue;
            std::string candidate(line.substr(0, q));
            candidate += static_cast<char>(s);
            candidate += line.substr(q, kSevenPlusLineChars - 1 - q);
            if (accept(candidate)) return candidate;
        }
    }
    return std::nullopt;
}

// One added character: each position left out in turn.
template <class Accept>
std::optional<std::string> repairAdded(std::string_view line, Accept accept) {
    for (std::size_t q = 0; q < line.size(); ++q) {
        std::string candidate(line.substr(0, q));
        candidate += line.substr(q + 1);
        const int stored = storedCheck(candidate, kCheckedChars);
        if (stored >= 0 && (backwardCrc(candidate) & 0x7FFF) == stored && accept(candidate)) return candidate;
    }
    return std::nullopt;
}

template <class Accept>
std::optional<std::string> repair(std::string_view line, const Symbols& symbols, Accept accept) {
    switch (line.size()) {
        case kSevenPlusLineChars: return repairChanged(line, symbols, accept);
        case kSevenPlusLineChars - 1: return repairLost(line, symbols, accept);
        case kSevenPlusLineChars + 1: return repairAdded(line, accept);
        default: return std::nullopt;
    }
}

// Eight 31-bit values from 31 bytes read as one big-endian number, first value most significant.
void toValues(const unsigned char* bytes, std::uint32_t* values) {
    std::uint64_t acc = 0;
    int bits = 0;
    int n = 0;
    for (int i = 0; i < 31; ++i) {
        acc = (acc << 8) | bytes[i];
        bits += 8;
        if (bits >= 31) {
            bits -= 31;
            values[n++] = static_cast<std::uint32_t>(acc >> bits) & 0x7FFFFFFF;
            acc &= (std::uint64_t{1} << bits) - 1;
        }
    }
}

void fromValues(const std::uint32_t* values, unsigned char* bytes) {
    std::uint64_t acc = 0;
    int bits = 0;
    int n = 0;
    for (int i = 0; i < 8; ++i) {
        acc = (acc << 31) | values[i];
        bits += 31;
        while (bits >= 8) {
            bits -= 8;
            bytes[n++] = static_cast<unsigned char>(acc >> bits);
        }
        acc &= (std::uint64_t{1} << bits) - 1;
    }
}

// Base 216, least significant digit first.
void putDigits(std::string& out, std::uint32_t v, int digits) {
    for (int i = 0; i < digits; ++i, v /= 216) out += static_cast<char>(kCode[v % 216]);
}

std::optional<std::uint32_t> digits(std::string_view s, std::size_t from, int count) {
    std::uint64_t v = 0;
    for (int i = count; i-- > 0;) {
        const int d = valueAt(s, from + static_cast<std::size_t>(i));
        if (d < 0) return std::nullopt;
        v = v * 216 + static_cast<std::uint64_t>(d);
    }
    return static_cast<std::uint32_t>(v);
}

// A line whose first 67 characters pass the 14-bit CRC.
std::optional<SevenPlusDataLine> decodeChecked(std::string_view line) {
    const auto w = digits(line, 64, 3);
    if (!w || (*w & 0x3FFF) != (sevenPlusCrc(line.substr(0, 64)) & 0x3FFF)) return std::nullopt;
    SevenPlusDataLine out;
    out.index = static_cast<int>(*w >> 14);
    if (out.index > kSevenPlusMaxIndex) return std::nullopt;
    for (int half = 0; half < 2; ++half) {
        std::uint32_t values[8];
        for (int k = 0; k < 8; ++k) {
            const auto v = digits(line, static_cast<std::size_t>(32 * half + 4 * k), 4);
            if (!v || *v > 0x7FFFFFFF) return std::nullopt;  // no encoder writes more than 31 bits
            values[k] = *v;
        }
        fromValues(values, out.bytes.data() + 31 * half);
    }
    return out;
}

bool miniCheckHolds(std::string_view line) {
    return line.size() >= kCheckedChars && valueAt(line, 66) == sevenPlusCrc(line.substr(0, 66)) % 216;
}

}  // namespace

unsigned char sevenPlusCode(int value) { return kCode[static_cast<std::size_t>(value % 216)]; }

int sevenPlusValue(unsigned char byte) { return kValues[byte]; }

std::uint16_t sevenPlusCrc(std::string_view bytes, std::uint16_t crc) {
    for (char b : bytes) crc = step(crc, static_cast<unsigned char>(b));
    return crc;
}

std::string encodeSevenPlusLine(std::span<const unsigned char, kSevenPlusLineBytes> bytes, int index) {
    std::string out;
    out.reserve(kSevenPlusLineChars);
    for (int half = 0; half < 2; ++half) {
        std::uint32_t values[8];
        toValues(bytes.data() + 31 * half, values);
        for (std::uint32_t v : values) putDigits(out, v, 4);
    }
    const std::uint32_t w = (static_cast<std::uint32_t>(index & 0x1FF) << 14) | (sevenPlusCrc(out) & 0x3FFF);
    putDigits(out, w, 3);
    putDigits(out, backwardCrc(out) & 0x7FFF, 2);
    return out;
}

std::optional<SevenPlusDataLine> decodeSevenPlusLine(std::string_view line) {
    if (line.size() >= kCheckedChars)
        if (auto good = decodeChecked(line)) return good;
    const auto fixed = repair(line, kCode, [](std::string_view c) { return decodeChecked(c).has_value(); });
    if (!fixed) return std::nullopt;
    auto out = decodeChecked(*fixed);
    if (out) out->repaired = true;
    return out;
}

std::string withSevenPlusChecks(std::string_view text66) {
    std::string out(text66.substr(0, 66));
    out.resize(66, ' ');
    out += static_cast<char>(kCode[sevenPlusCrc(out) % 216]);
    putDigits(out, backwardCrc(out) & 0x7FFF, 2);
    return out;
}

std::optional<std::string> checkedSevenPlusLine(std::string_view line) {
    if (miniCheckHolds(line)) return std::string(line.substr(0, kSevenPlusLineChars));
    return repair(line, kHeaderSymbols, miniCheckHolds);
}

}  // namespace norva
