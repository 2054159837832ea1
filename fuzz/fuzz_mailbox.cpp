// Directory files and listing headings as a mailbox sends them: reading a
// file of any bytes, naming a listing, building commands and read scripts.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <unistd.h>

#include "mailbox/BoxDirWatcher.h"
#include "mailbox/BoxDirectory.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace norva;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    static const std::string path = "/tmp/norva-fuzz-mailbox-" + std::to_string(::getpid()) + ".b01";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    MailboxSettings s;
    s.userHeading = "USER-FILE:";
    s.infoHeading = "INFO-FILE:";
    s.checkHeading = squeezedUpper(kCheckHeadingWindow);
    const BoxDirectory dir = readBoxDirectory(path, s, bytes.substr(0, 3));
    for (const std::string& line : dir.messages) {
        (void)boxCommand(dir, line, false, true);
        (void)boxCommand(dir, line, true, false);
    }
    (void)readScriptText(dir, dir.messages, false, true);
    const std::string name = boxListingName(BoxListing::User, bytes);
    if (name.find('/') != std::string::npos || name.starts_with(".")) __builtin_trap();
    return 0;
}
