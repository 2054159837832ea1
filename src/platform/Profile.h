// The settings profile: an INI file with the semantics of the Windows
// private-profile functions. Sections and keys are case-insensitive, the first
// match wins, every reader supplies its own default, malformed lines are
// skipped, and writes keep every other line and comment. A write goes to a
// temporary file renamed over the old one, so a crash never leaves half a file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/Files.h"

namespace norva {

class Profile {
public:
    // links: Refuse for files whose names come from the air or from
    // callsigns: a symbolic link at the name is then neither read nor
    // written through (a swap after the caller's check changes nothing).
    explicit Profile(std::filesystem::path file, Links links = Links::Follow);

    const std::filesystem::path& path() const { return path_; }

    // Larger files are not read (and never overwritten): no settings file
    // comes near this, a runaway or hostile one must not fill memory.
    static constexpr std::size_t kMaxBytes = 16 * 1024 * 1024;

    // A profile that holds secrets (the //SYS password in norva.ini, node
    // passwords): created 0600 and kept so on every rewrite, whatever mode
    // the file had before.
    void setPrivate(bool isPrivate) { private_ = isPrivate; }

    // The value, or the default when the section or key is missing.
    std::string getString(std::string_view section, std::string_view key,
                          std::string_view def = {}) const;
    // GetPrivateProfileInt: leading blanks, optional sign, leading digits
    // ("12abc" is 12, "abc" is 0); the default when the key is missing or its
    // value blank (as Win32 does). Values beyond int are clamped.
    int getInt(std::string_view section, std::string_view key, int def) const;
    // The raw value, or nullopt when the key is missing.
    std::optional<std::string> find(std::string_view section, std::string_view key) const;

    // Writes (creating section, key and file as needed). False when the file
    // could not be written; the old file is then unchanged.
    bool writeString(std::string_view section, std::string_view key, std::string_view value);
    bool writeInt(std::string_view section, std::string_view key, int value);
    bool deleteKey(std::string_view section, std::string_view key);
    bool deleteSection(std::string_view section);

    // Writes a thread makes between beginBatch() and its matching endBatch()
    // change the profile at once but reach the disk together, in one
    // rewrite, when the outermost batch ends (settings written back at exit:
    // dozens of keys). Writes of other threads meanwhile go to disk at once.
    // endBatch() is false when that rewrite failed. The written values are
    // then kept and written again with the next write or flush(), and the
    // failure report is called once: settings are never lost silently.
    void beginBatch();
    bool endBatch();
    class Batch {
    public:
        explicit Batch(Profile& p) : p_(p) { p_.beginBatch(); }
        ~Batch() { end(); }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        // Ends the batch early; false when its rewrite failed.
        bool end() {
            if (ended_) return true;
            ended_ = true;
            return p_.endBatch();
        }

    private:
        Profile& p_;
        bool ended_ = false;
    };

    // Written values the disk has not taken yet (a failed batch rewrite).
    bool hasUnsavedWrites() const;
    // Tries to write them now (program exit); true when nothing is left unsaved.
    bool flush();
    // Called once when a batch's rewrite fails (again after a later success),
    // with "Die Einstellungen können nicht gespeichert werden: <path>".
    // It may be called on any thread that writes.
    void setFailureReport(std::function<void(const std::string&)> report);

    // Key names of a section in file order (first spelling wins), sections likewise.
    std::vector<std::string> keys(std::string_view section) const;
    std::vector<std::string> sections() const;

private:
    // One line of the file with what the parser saw in it.
    struct Line {
        enum class Kind { Other, Section, Key };
        std::string text;                    // as in the file, without its line end
        Kind kind = Kind::Other;
        std::string name;                    // section or key name, trimmed, as spelt
        std::string value;                   // key value, trimmed
        std::size_t owner = std::string::npos;  // header line of a key's section
    };
    // Identity of the file on disk when it was read, to notice outside edits.
    struct Stamp {
        bool exists = false;
        std::uintmax_t dev = 0, ino = 0, size = 0;
        std::int64_t mtimeNs = 0, ctimeNs = 0;
        bool operator==(const Stamp&) const = default;
    };

    static Stamp statFile(const std::filesystem::path& path);
    void loadIfChanged() const;
    void parse() const;
    std::optional<std::size_t> findKeyLine(std::string_view section, std::string_view key) const;
    bool commit(std::vector<std::string> texts);
    bool store(const std::vector<std::string>& texts);
    std::vector<std::string> texts() const;

    std::filesystem::path path_;
    mutable std::recursive_mutex mutex_;
    mutable std::vector<Line> lines_;  // file as read, one entry per line
    mutable std::unordered_map<std::string, std::size_t> index_;  // section+key -> first key line
    mutable Stamp stamp_{};
    mutable bool loaded_ = false;
    mutable bool readable_ = true;  // false: the file exists but cannot be read, so never overwrite it
    mutable bool crlf_ = true;      // keep the line ends the file already has; new files get CR LF
    bool inOwnBatch() const;
    bool storeUnsaved();

    // Open batches per thread (few threads write: a short list).
    std::vector<std::pair<std::thread::id, int>> batches_;
    bool private_ = false;
    Links links_ = Links::Follow;
    bool unsaved_ = false;          // lines_ holds writes the disk has not seen yet
    bool failureReported_ = false;
    std::function<void(const std::string&)> report_;
};

// Parses a whole value as an integer ("  42 " ok, "4x" or "" not).
std::optional<long> parseIntStrict(std::string_view text);

}  // namespace norva
