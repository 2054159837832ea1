// Finds the program directory (norva.ini and the logs) and keeps the values the
// Windows program kept in its registry key, in an INI file under
// $XDG_CONFIG_HOME/norva. A registry value naming a directory that does not
// exist is an error, not silently created: it is usually an unmounted disk or a
// renamed folder, and a fresh empty directory would start the station with
// default settings and write a new norva.ini in the wrong place.
#include "platform/ProgramDir.h"

#include "platform/Profile.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace norva {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSection = "norva";

// An environment path is used only when absolute, as the XDG rules say.
std::optional<fs::path> absoluteEnv(const char* name)
{
    const char* value = std::getenv(name);
    if (!value || value[0] != '/')
        return std::nullopt;
    return fs::path(value);
}

fs::path homeDir()
{
    if (auto home = absoluteEnv("HOME"))
        return *home;
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* result = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result && result->pw_dir)
        return fs::path(result->pw_dir);
    return fs::path("/");
}

fs::path dataDir()
{
    if (auto data = absoluteEnv("XDG_DATA_HOME"))
        return *data / "norva";
    return homeDir() / ".local" / "share" / "norva";
}

// Without a trailing slash, as the header promises; "/" stays "/".
fs::path withoutTrailingSlash(fs::path p)
{
    p = p.lexically_normal();
    std::string s = p.string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return fs::path(s);
}

ProgramDirResult createdDir(const fs::path& dir)
{
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir))
        return {{}, dir.string() + ": Verzeichnis kann nicht angelegt werden"
                        + (ec ? " (" + ec.message() + ")" : std::string())};
    return {withoutTrailingSlash(dir), {}};
}

}  // namespace

fs::path registryFile()
{
    const fs::path config = absoluteEnv("XDG_CONFIG_HOME").value_or(homeDir() / ".config");
    return config / "norva" / "registry.ini";
}

ProgramDirResult resolveProgramDir(const std::optional<fs::path>& cliDir)
{
    if (cliDir) {
        if (cliDir->empty())
            return {{}, "--dir: kein Verzeichnis angegeben"};
        std::error_code ec;
        const fs::path dir = fs::absolute(*cliDir, ec);
        if (ec)
            return {{}, cliDir->string() + ": " + ec.message()};
        return createdDir(dir);
    }
    const std::string stored = registryValue("CurrentDir");
    if (!stored.empty()) {
        const fs::path dir(stored);
        std::error_code ec;
        if (!dir.is_absolute() || !fs::is_directory(dir, ec))
            return {{}, stored + ": Programmverzeichnis aus " + registryFile().string()
                            + " existiert nicht"};
        return {withoutTrailingSlash(dir), {}};
    }
    ProgramDirResult result = createdDir(dataDir());
    if (result.error.empty())
        setRegistryValue("CurrentDir", result.dir.string());  // the next start finds it again; failing costs only that
    return result;
}

std::string registryValue(const std::string& name)
{
    return Profile(registryFile()).getString(kSection, name);
}

bool setRegistryValue(const std::string& name, const std::string& value)
{
    const fs::path file = registryFile();
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    return Profile(file).writeString(kSection, name, value);
}

}  // namespace norva
