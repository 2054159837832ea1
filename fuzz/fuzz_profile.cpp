// libFuzzer entry for the INI profile: any bytes as norva.ini must read without
// harm, and a write must change exactly the one value it writes.
#include "platform/Profile.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <utility>

namespace {

using Snapshot = std::map<std::pair<std::string, std::string>, std::string>;

std::string lower(std::string s)
{
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

// Every section/key the file holds with the value a reader would get.
Snapshot snapshot(const norva::Profile& p)
{
    Snapshot out;
    for (const std::string& section : p.sections()) {
        for (const std::string& key : p.keys(section)) {
            const auto value = p.find(section, key);
            if (!value)
                std::abort();  // an enumerated key must be found
            out[{lower(section), lower(key)}] = *value;
            p.getInt(section, key, -1);
        }
    }
    return out;
}

void check(const Snapshot& before, const norva::Profile& after, const std::string& section,
           const std::string& key, const std::string& value)
{
    Snapshot now = snapshot(after);
    const auto written = now.find({lower(section), lower(key)});
    if (written == now.end() || written->second != value)
        std::abort();
    now.erase(written);
    Snapshot rest = before;
    rest.erase({lower(section), lower(key)});
    if (now != rest)
        std::abort();  // the write changed another value
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    char dirTemplate[] = "/tmp/norva-fuzz-XXXXXX";
    if (!::mkdtemp(dirTemplate))
        return 0;
    const std::filesystem::path dir(dirTemplate);
    const std::filesystem::path file = dir / "norva.ini";
    {
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

    {
        norva::Profile p(file);
        const Snapshot before = snapshot(p);
        p.getString("Frame", "Ratio", "70");
        p.getInt("frame", "ratio", 70);

        // A new value, and a new value for the first key the file already has.
        const std::string section = p.sections().empty() ? "Frame" : p.sections().front();
        std::string key = "FuzzKey";
        if (const auto keys = p.keys(section); !keys.empty())
            key = keys.front();
        if (!p.writeString(section, key, "fuzz value = 1"))
            std::abort();
        check(before, p, section, key, "fuzz value = 1");
        check(before, norva::Profile(file), section, key, "fuzz value = 1");  // as read from disk
        p.deleteKey(section, key);
        if (norva::Profile(file).find(section, key))
            std::abort();
    }

    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
