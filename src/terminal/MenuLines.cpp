// Line builders of "Connect <...>" and "Read <...>" (see MenuLines.h).
#include "terminal/MenuLines.h"

// std
#include <vector>

// Norva
#include "platform/Text.h"
#include "terminal/TermText.h"

namespace norva {

namespace {

// At most `n` characters (not bytes) of UTF-8 text.
std::string_view cutChars(std::string_view s, std::size_t n)
{
    std::size_t chars = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
            continue;
        if (chars == n)
            return s.substr(0, i);
        ++chars;
    }
    return s;
}

std::string callFrom(std::string_view text)
{
    text = termtext::trimSpace(termtext::firstLine(termtext::trimSpace(text)));
    return toUpper(cutChars(text, kMaxConnectTarget));
}

}  // namespace

ConnectPlan planConnect(std::string_view mapSelection, std::string_view clipboard,
                        const AliasResolver& resolveAlias)
{
    const std::string mapCall = callFrom(mapSelection);
    std::string clipCall = callFrom(clipboard);
    if (!clipCall.empty() && resolveAlias) {
        if (auto call = resolveAlias(clipCall))
            clipCall = callFrom(*call);
    }
    ConnectPlan plan;
    if (!mapCall.empty() && !clipCall.empty() && mapCall != clipCall) {
        plan.kind = ConnectPlan::Kind::Choose;
        plan.mapCall = mapCall;
        plan.clipboardCall = clipCall;
        return plan;
    }
    const std::string& target = mapCall.empty() ? clipCall : mapCall;
    if (target.empty())
        return plan;
    plan.kind = ConnectPlan::Kind::Send;
    plan.line = connectLine(target);
    return plan;
}

std::string connectLine(std::string_view call)
{
    return "c " + std::string(call) + "\r";
}

std::optional<std::string> buildReadLine(std::string_view clipboard)
{
    std::string_view text = termtext::trimSpace(termtext::firstLine(termtext::trimSpace(clipboard)));
    text = termtext::trimSpace(cutChars(text, kMaxReadText));
    if (text.empty())
        return std::nullopt;
    std::string what(text);
    if (text.find("..") != std::string_view::npos) {
        std::vector<std::string_view> fields;
        std::size_t at = 0;
        while (at < text.size() && fields.size() < 2) {
            const std::size_t dot = text.find('.', at);
            const std::size_t end = dot == std::string_view::npos ? text.size() : dot;
            const auto field = termtext::trimSpace(text.substr(at, end - at));
            if (!field.empty())
                fields.push_back(field);
            at = end + 1;
        }
        if (fields.empty())
            return std::nullopt;
        what = std::string(fields[0]);
        if (fields.size() > 1)
            what += ' ' + std::string(fields[1]);
    }
    return "r " + what + "\r";
}

}  // namespace norva
