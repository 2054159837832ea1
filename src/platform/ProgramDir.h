// Where Norva keeps norva.ini and its logs. The registry of the Windows program
// becomes $XDG_CONFIG_HOME/norva/registry.ini; a --dir option overrides it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace norva {

struct ProgramDirResult {
    std::filesystem::path dir;  // exists and ends without a trailing slash
    std::string error;          // empty on success
};

// The registry file: $XDG_CONFIG_HOME/norva/registry.ini (default ~/.config/norva).
std::filesystem::path registryFile();

// Order: the --dir value when given (created when missing); else the registry
// value CurrentDir of section [norva]; else $XDG_DATA_HOME/norva (default
// ~/.local/share/norva), created and stored in the registry.
ProgramDirResult resolveProgramDir(const std::optional<std::filesystem::path>& cliDir);

// Registry values beside CurrentDir (textedit, filemanager); empty when unset.
std::string registryValue(const std::string& name);
bool setRegistryValue(const std::string& name, const std::string& value);

}  // namespace norva
