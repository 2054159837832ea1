// Directory files and listing headings as a mailbox sends them: reading a
// file of any bytes as a DieBox and as an F6FBB listing, FBB's message
// lines and prompt, naming a listing, building commands and read scripts.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "mailbox/BoxDirWatcher.h"
#include "mailbox/BoxDirectory.h"
#include "mailbox/FbbListing.h"
#include "script/ScriptFile.h"

namespace {

using namespace norva;

// A read script built from the air must run as a script: it parses, and
// its only commands are the ones the reader writes.
void checkScript(const std::string& script) {
    const ParsedScript parsed = parseScript(script, "readbox.scr");
    if (parsed.error) __builtin_trap();
    for (const ScriptLine& line : parsed.lines)
        if (line.kind == LineKind::Command && line.command != ScriptCommand::Rem &&
            line.command != ScriptCommand::WaitForBoxPrompt &&
            line.command != ScriptCommand::WaitFor)
            __builtin_trap();
}

void readAs(const std::string& path, const std::string& bytes, const MailboxSettings& s) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    const BoxDirectory dir = readBoxDirectory(path, s, bytes.substr(0, 3));
    for (const std::string& line : dir.messages) {
        (void)boxCommand(dir, line, false, true);
        (void)boxCommand(dir, line, true, false);
    }
    checkScript(readScriptText(dir, dir.messages, false, true));
    checkScript(readScriptText(dir, dir.messages, true, false));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    static const std::string path =
        "/tmp/norva-fuzz-mailbox-" + std::to_string(::getpid()) + ".b01";
    MailboxSettings s;
    s.userHeading = "USER-FILE:";
    s.infoHeading = "INFO-FILE:";
    s.checkHeading = squeezedUpper(kCheckHeadingWindow);
    readAs(path, bytes, s);
    // The same bytes under FBB's heading, so that its line parser meets them all.
    readAs(path, "Msg#   TSLD  Size To    @Route  From   Date/Time Subject\r\n" + bytes, s);
    if (auto m = parseFbbLine(bytes)) {
        if (m->subject.size() > kFbbSubjectLimit || fbbDisplayLine(*m).size() > 2 * kFbbLineLimit)
            __builtin_trap();
    }
    if (auto prompt = fbbPromptText(bytes); prompt && prompt->size() > kFbbPromptLimit)
        __builtin_trap();
    (void)findFbbHeading(bytes);
    const std::string name = boxListingName(BoxListing::User, bytes);
    if (name.find('/') != std::string::npos || name.starts_with(".")) __builtin_trap();
    const std::string fbbName = fbbListingName(bytes);
    if (fbbName.find('/') != std::string::npos || fbbName.starts_with(".")) __builtin_trap();
    return 0;
}
