// The files of the 7PLUS 2.25 program in tests/transfer/data/7plus (see
// the README there): the inputs, the parts it wrote, a damaged copy of the
// 65-part set with the error report and the correction the program made.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace norva::test {

inline std::filesystem::path sevenPlusVectors() {
    return std::filesystem::path(NORVA_SOURCE_DIR) / "tests" / "transfer" / "data" / "7plus";
}
inline std::string sevenPlusVector(const std::string& name) { return readFile(sevenPlusVectors() / name); }

// "random40.p01" ... "random40.p41": part numbers in hex.
inline std::vector<std::string> randomPartNames() {
    std::vector<std::string> names;
    for (int part = 1; part <= 65; ++part) {
        char name[16];
        std::snprintf(name, sizeof name, "random40.p%02x", part);
        names.push_back(name);
    }
    return names;
}

// A part of the damaged set: the four changed ones, the others as made.
inline std::string damagedPart(const std::string& name) {
    const auto damaged = sevenPlusVectors() / "c-errcor" / "damaged" / name;
    return std::filesystem::exists(damaged) ? readFile(damaged) : sevenPlusVector("b/" + name);
}

// 2024-03-15 12:34:56, the inputs' time as the stop lines carry it.
inline constexpr std::uint32_t kVectorStamp = 0x586F645C;

}  // namespace norva::test
