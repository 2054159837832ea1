// The INI profile behind norva.ini and the registry file: Windows
// private-profile semantics on a cached copy of the file.
//
// Cache: every call stats the file (one stat, no read) and re-reads it only when
// device, inode, size, mtime or ctime changed, so another process may edit the
// file at any time. A write re-reads first, changes only the lines concerned,
// writes a temporary file in the same directory, fsyncs it and renames it over
// the old file; the cache takes the new lines only when that succeeded.
// Lines end as the file's first line ends; a new file gets CR LF.
#include "platform/Profile.h"

#include "platform/Files.h"

#include "platform/Text.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace norva {

namespace fs = std::filesystem;

namespace {

std::string indexKey(std::string_view section, std::string_view key)
{
    // Length-prefixed, so no byte of a name can fake the boundary.
    std::string k = std::to_string(section.size());
    k += ':';
    k += toLower(section);
    k += toLower(key);
    return k;
}

bool isHeaderAttempt(std::string_view text)
{
    const std::string_view t = trim(text);
    return !t.empty() && t.front() == '[';
}

bool hasLineBreak(std::string_view s)
{
    return s.find_first_of("\r\n") != std::string_view::npos;
}

// Names may hold any byte but '\n' (a lone CR inside a line is kept by the
// reader); a key also no '=' and no start that makes the line a header or a comment.
bool validName(std::string_view name)
{
    return name.find('\n') == std::string_view::npos;
}

bool validKeyName(std::string_view key)
{
    return !key.empty() && key.find('=') == std::string_view::npos && validName(key)
           && key.front() != '[' && key.front() != ';';
}

}  // namespace

Profile::Profile(fs::path file, Links links) : path_(std::move(file)), links_(links) {}

Profile::Stamp Profile::statFile(const fs::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return Stamp{};
    return Stamp{true,
                 static_cast<std::uintmax_t>(st.st_dev),
                 static_cast<std::uintmax_t>(st.st_ino),
                 static_cast<std::uintmax_t>(st.st_size),
                 static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec,
                 static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec};
}

void Profile::loadIfChanged() const
{
    // Values the disk has not taken yet win over the file: reading it back
    // would lose them (an outside edit meanwhile is overwritten later).
    if (loaded_ && unsaved_)
        return;
    const Stamp now = statFile(path_);
    if (loaded_ && now == stamp_)
        return;

    loaded_ = true;
    stamp_ = now;
    readable_ = true;
    crlf_ = true;
    lines_.clear();
    if (!now.exists) {
        parse();
        return;
    }
    // One byte over the limit tells a file too large to hold from one that
    // just fits: a cut file must never be written back.
    std::optional<std::string> read = readRegularFile(path_, kMaxBytes + 1, links_);
    readable_ = read && read->size() <= kMaxBytes;
    std::string content = readable_ ? std::move(*read) : std::string();

    const std::size_t firstBreak = content.find('\n');
    if (firstBreak != std::string::npos)
        crlf_ = firstBreak > 0 && content[firstBreak - 1] == '\r';
    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t end = content.find('\n', pos);
        if (end == std::string::npos)
            end = content.size();
        std::string text = content.substr(pos, end - pos);
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        lines_.emplace_back().text = std::move(text);
        pos = end + 1;
    }
    parse();
}

// Classifies every line. A header without its ']' is skipped, and so are the
// keys under it until the next good header: they must not land in the section
// above. Keys before any section are ignored, as are lines without '='.
void Profile::parse() const
{
    index_.clear();
    std::size_t owner = std::string::npos;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        Line& line = lines_[i];
        line.kind = Line::Kind::Other;
        line.name.clear();
        line.value.clear();
        line.owner = std::string::npos;
        std::string_view t = line.text;
        if (i == 0 && t.starts_with("\xEF\xBB\xBF"))
            t.remove_prefix(3);  // UTF-8 byte order mark of Windows editors
        t = trim(t);
        if (t.empty() || t.front() == ';')
            continue;
        if (t.front() == '[') {
            const std::size_t close = t.rfind(']');
            owner = close == std::string_view::npos ? std::string::npos : i;
            if (close == std::string_view::npos)
                continue;
            line.kind = Line::Kind::Section;
            line.name = std::string(trim(t.substr(1, close - 1)));
            continue;
        }
        const std::size_t eq = t.find('=');
        if (eq == std::string_view::npos || owner == std::string::npos)
            continue;
        const std::string_view key = trim(t.substr(0, eq));
        if (key.empty())
            continue;
        line.kind = Line::Kind::Key;
        line.name = std::string(key);
        line.value = std::string(trim(t.substr(eq + 1)));
        line.owner = owner;
        index_.try_emplace(indexKey(lines_[owner].name, line.name), i);
    }
}

std::optional<std::size_t> Profile::findKeyLine(std::string_view section, std::string_view key) const
{
    const auto it = index_.find(indexKey(trim(section), trim(key)));
    if (it == index_.end())
        return std::nullopt;
    return it->second;
}

std::vector<std::string> Profile::texts() const
{
    std::vector<std::string> out;
    out.reserve(lines_.size());
    for (const Line& line : lines_)
        out.push_back(line.text);
    return out;
}

bool Profile::store(const std::vector<std::string>& texts)
{
    const char* eol = crlf_ ? "\r\n" : "\n";
    std::string content;
    for (const std::string& t : texts) {
        content += t;
        content += eol;
    }
    // A private profile holds secrets: whatever mode the old file had, the
    // new one is readable by its owner only.
    const mode_t mode = private_ ? (existingMode(path_, 0600) & 0700) | 0600 : existingMode(path_, 0644);
    return writeFileAtomic(path_, content, mode, links_);
}

bool Profile::commit(std::vector<std::string> texts)
{
    if (stamp_.exists && texts == this->texts())
        return true;  // nothing changed: spare the disk
    if (inOwnBatch()) {
        lines_.clear();
        for (std::string& t : texts)
            lines_.emplace_back().text = std::move(t);
        parse();
        unsaved_ = true;
        return true;
    }
    // Written at once; values a failed batch kept go with it.
    if (!store(texts))
        return false;
    lines_.clear();
    for (std::string& t : texts)
        lines_.emplace_back().text = std::move(t);
    parse();
    // Our own write is current: take the new file's identity so it is not read back.
    stamp_ = statFile(path_);
    unsaved_ = false;
    failureReported_ = false;
    return true;
}

bool Profile::inOwnBatch() const
{
    const auto me = std::this_thread::get_id();
    return std::any_of(batches_.begin(), batches_.end(), [me](const auto& b) { return b.first == me; });
}

void Profile::beginBatch()
{
    std::lock_guard lock(mutex_);
    const auto me = std::this_thread::get_id();
    for (auto& b : batches_) {
        if (b.first == me) {
            ++b.second;
            return;
        }
    }
    batches_.emplace_back(me, 1);
}

bool Profile::endBatch()
{
    std::lock_guard lock(mutex_);
    const auto me = std::this_thread::get_id();
    const auto it = std::find_if(batches_.begin(), batches_.end(), [me](const auto& b) { return b.first == me; });
    if (it == batches_.end())
        return true;
    if (--it->second > 0)
        return true;
    batches_.erase(it);
    // Another thread's batch still open: its end writes what is pending.
    if (!unsaved_ || !batches_.empty())
        return true;
    return storeUnsaved();
}

bool Profile::storeUnsaved()
{
    if (store(texts())) {
        stamp_ = statFile(path_);
        unsaved_ = false;
        failureReported_ = false;
        return true;
    }
    if (!failureReported_ && report_) {
        failureReported_ = true;
        report_("Die Einstellungen können nicht gespeichert werden: " + path_.string());
    }
    return false;
}

bool Profile::hasUnsavedWrites() const
{
    std::lock_guard lock(mutex_);
    return unsaved_;
}

bool Profile::flush()
{
    std::lock_guard lock(mutex_);
    if (!unsaved_)
        return true;
    return storeUnsaved();
}

void Profile::setFailureReport(std::function<void(const std::string&)> report)
{
    std::lock_guard lock(mutex_);
    report_ = std::move(report);
}

std::optional<std::string> Profile::find(std::string_view section, std::string_view key) const
{
    std::lock_guard lock(mutex_);
    loadIfChanged();
    const auto line = findKeyLine(section, key);
    if (!line)
        return std::nullopt;
    return lines_[*line].value;
}

std::string Profile::getString(std::string_view section, std::string_view key, std::string_view def) const
{
    auto value = find(section, key);
    return value ? std::move(*value) : std::string(def);
}

int Profile::getInt(std::string_view section, std::string_view key, int def) const
{
    const auto value = find(section, key);
    if (!value || value->empty())
        return def;
    return leadingInt(*value);
}

bool Profile::writeString(std::string_view section, std::string_view key, std::string_view value)
{
    section = trim(section);
    key = trim(key);
    if (!validName(section) || !validKeyName(key) || hasLineBreak(value))
        return false;
    std::lock_guard lock(mutex_);
    loadIfChanged();
    if (!readable_)
        return false;
    std::vector<std::string> out = texts();
    const auto existing = findKeyLine(section, key);
    // An existing key keeps its spelling, as Windows keeps it.
    const std::string keyLine =
        (existing ? lines_[*existing].name : std::string(key)) + "=" + std::string(value);
    if (existing) {
        out[*existing] = keyLine;
        return commit(std::move(out));
    }
    // New key: after the last key of the first block of that section.
    for (std::size_t h = 0; h < lines_.size(); ++h) {
        if (lines_[h].kind != Line::Kind::Section || !iequals(lines_[h].name, section))
            continue;
        std::size_t insertAt = h + 1;
        for (std::size_t i = h + 1; i < lines_.size() && !isHeaderAttempt(lines_[i].text); ++i) {
            if (lines_[i].kind == Line::Kind::Key)
                insertAt = i + 1;
        }
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(insertAt), keyLine);
        return commit(std::move(out));
    }
    // New section at the end, set off by a blank line.
    if (!out.empty() && !trim(out.back()).empty())
        out.emplace_back();
    out.push_back("[" + std::string(section) + "]");
    out.push_back(keyLine);
    return commit(std::move(out));
}

bool Profile::writeInt(std::string_view section, std::string_view key, int value)
{
    return writeString(section, key, std::to_string(value));
}

// Removes the key from every block of the section, so that a duplicate
// further down cannot reappear as the value after the deletion.
bool Profile::deleteKey(std::string_view section, std::string_view key)
{
    section = trim(section);
    key = trim(key);
    std::lock_guard lock(mutex_);
    loadIfChanged();
    if (!readable_)
        return false;
    std::vector<std::string> out;
    out.reserve(lines_.size());
    for (const Line& line : lines_) {
        const bool drop = line.kind == Line::Kind::Key && iequals(line.name, key)
                          && iequals(lines_[line.owner].name, section);
        if (!drop)
            out.push_back(line.text);
    }
    return commit(std::move(out));
}

// Removes every block of the section: the header and its lines up to the last
// one that is not blank or a comment. Comments at the end of a block usually
// introduce the next section and stay.
bool Profile::deleteSection(std::string_view section)
{
    section = trim(section);
    std::lock_guard lock(mutex_);
    loadIfChanged();
    if (!readable_)
        return false;
    std::vector<bool> drop(lines_.size(), false);
    for (std::size_t h = 0; h < lines_.size(); ++h) {
        if (lines_[h].kind != Line::Kind::Section || !iequals(lines_[h].name, section))
            continue;
        std::size_t last = h;
        for (std::size_t i = h + 1; i < lines_.size() && !isHeaderAttempt(lines_[i].text); ++i) {
            const std::string_view t = trim(lines_[i].text);
            if (!t.empty() && t.front() != ';')
                last = i;
        }
        std::fill(drop.begin() + static_cast<std::ptrdiff_t>(h),
                  drop.begin() + static_cast<std::ptrdiff_t>(last + 1), true);
    }
    std::vector<std::string> out;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (!drop[i])
            out.push_back(lines_[i].text);
    }
    return commit(std::move(out));
}

std::vector<std::string> Profile::keys(std::string_view section) const
{
    section = trim(section);
    std::lock_guard lock(mutex_);
    loadIfChanged();
    std::vector<std::string> out;
    for (const Line& line : lines_) {
        if (line.kind != Line::Kind::Key || !iequals(lines_[line.owner].name, section))
            continue;
        const bool seen = std::any_of(out.begin(), out.end(),
                                      [&](const std::string& k) { return iequals(k, line.name); });
        if (!seen)
            out.push_back(line.name);
    }
    return out;
}

std::vector<std::string> Profile::sections() const
{
    std::lock_guard lock(mutex_);
    loadIfChanged();
    std::vector<std::string> out;
    for (const Line& line : lines_) {
        if (line.kind != Line::Kind::Section)
            continue;
        const bool seen = std::any_of(out.begin(), out.end(),
                                      [&](const std::string& s) { return iequals(s, line.name); });
        if (!seen)
            out.push_back(line.name);
    }
    return out;
}

std::optional<long> parseIntStrict(std::string_view text)
{
    text = trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return std::nullopt;
    unsigned long magnitude = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (ec != std::errc() || ptr != text.data() + text.size())
        return std::nullopt;
    if (!negative && magnitude > static_cast<unsigned long>(LONG_MAX))
        return std::nullopt;
    if (negative && magnitude > static_cast<unsigned long>(LONG_MAX) + 1UL)
        return std::nullopt;
    return negative ? static_cast<long>(0UL - magnitude) : static_cast<long>(magnitude);
}

}  // namespace norva
