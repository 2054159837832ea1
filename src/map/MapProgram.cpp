// The map program's shared parts.
#include "map/MapProgram.h"

#include "platform/Text.h"
#include "station/AliasList.h"

namespace norva {

MapProgram::MapProgram(DdeClient* client, MapAvailability availability, std::filesystem::path aliasFile,
                       std::function<void(std::string_view)> notFound, MapTimeouts timeouts)
    : client_(client), availability_(availability), aliasFile_(std::move(aliasFile)),
      notFound_(std::move(notFound)), timeouts_(timeouts) {}

std::string MapProgram::resolve(std::string_view callOrAlias) const {
    const std::string wanted = toUpper(trim(callOrAlias));
    if (wanted.empty() || aliasFile_.empty()) return wanted;
    const AliasList aliases(aliasFile_);
    // A listed call stays itself; only an alias is replaced.
    if (!aliases.byCall(wanted).empty()) return wanted;
    const std::string call = aliases.byAlias(wanted);
    return call.empty() ? wanted : call;
}

void MapProgram::connectFailed(const CKartexLink& link) {
    if (link.firstFailure() && notFound_) notFound_(kMapNotFoundLog);
}

}  // namespace norva
