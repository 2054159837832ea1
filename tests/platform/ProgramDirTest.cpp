// Program directory resolution: --dir, the registry file, the XDG data
// directory. Every test points HOME and the XDG variables at a temporary
// directory and restores them afterwards.
#include "platform/Profile.h"
#include "platform/ProgramDir.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace norva {
namespace {

namespace fs = std::filesystem;

class ProgramDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : kVars) {
            const char* v = std::getenv(name);
            saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
        }
        fs::create_directories(dir_ / "home");
        setenv("HOME", (dir_ / "home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    }
    void TearDown() override
    {
        for (const auto& [name, value] : saved_) {
            if (value)
                setenv(name, value->c_str(), 1);
            else
                unsetenv(name);
        }
    }

    static constexpr const char* kVars[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"};
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
    test::TempDir dir_;
};

TEST_F(ProgramDirTest, RegistryFileFollowsXdgConfigHome)
{
    EXPECT_EQ(registryFile(), dir_ / "config" / "norva" / "registry.ini");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(registryFile(), dir_ / "home" / ".config" / "norva" / "registry.ini");
    setenv("XDG_CONFIG_HOME", "relative/config", 1);  // not absolute: ignored
    EXPECT_EQ(registryFile(), dir_ / "home" / ".config" / "norva" / "registry.ini");
}

TEST_F(ProgramDirTest, FirstStartTakesDataDirAndStoresIt)
{
    const ProgramDirResult first = resolveProgramDir(std::nullopt);
    ASSERT_EQ(first.error, "");
    EXPECT_EQ(first.dir, dir_ / "data" / "norva");
    EXPECT_TRUE(fs::is_directory(first.dir));
    EXPECT_EQ(registryValue("CurrentDir"), first.dir.string());
    EXPECT_EQ(Profile(registryFile()).getString("NORVA", "currentdir"), first.dir.string());

    // Afterwards the registry decides, even when the data directory moves.
    setenv("XDG_DATA_HOME", (dir_ / "elsewhere").c_str(), 1);
    EXPECT_EQ(resolveProgramDir(std::nullopt).dir, first.dir);
    EXPECT_FALSE(fs::exists(dir_ / "elsewhere"));
}

TEST_F(ProgramDirTest, DataDirDefaultsUnderHome)
{
    unsetenv("XDG_DATA_HOME");
    const ProgramDirResult r = resolveProgramDir(std::nullopt);
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.dir, dir_ / "home" / ".local" / "share" / "norva");
    EXPECT_TRUE(fs::is_directory(r.dir));
}

TEST_F(ProgramDirTest, RegistryValueIsUsedAsStored)
{
    fs::create_directories(dir_ / "Station Dir");
    ASSERT_TRUE(setRegistryValue("CurrentDir", (dir_ / "Station Dir").string() + "/"));
    const ProgramDirResult r = resolveProgramDir(std::nullopt);
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.dir, dir_ / "Station Dir");  // trailing slash dropped, case kept
    EXPECT_FALSE(fs::exists(dir_ / "data" / "norva"));
}

TEST_F(ProgramDirTest, RegistryValueForMissingDirectoryIsAnError)
{
    ASSERT_TRUE(setRegistryValue("CurrentDir", (dir_ / "gone").string()));
    const ProgramDirResult r = resolveProgramDir(std::nullopt);
    EXPECT_NE(r.error.find((dir_ / "gone").string()), std::string::npos);
    EXPECT_TRUE(r.dir.empty());
    EXPECT_FALSE(fs::exists(dir_ / "gone"));

    ASSERT_TRUE(setRegistryValue("CurrentDir", "relative/dir"));
    EXPECT_NE(resolveProgramDir(std::nullopt).error, "");
}

TEST_F(ProgramDirTest, CommandLineDirWinsAndIsCreated)
{
    fs::create_directories(dir_ / "stored");
    ASSERT_TRUE(setRegistryValue("CurrentDir", (dir_ / "stored").string()));
    const ProgramDirResult r = resolveProgramDir(dir_ / "cli" / "deep");
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.dir, dir_ / "cli" / "deep");
    EXPECT_TRUE(fs::is_directory(r.dir));
    EXPECT_EQ(registryValue("CurrentDir"), (dir_ / "stored").string());  // not stored

    // A relative --dir is taken from the working directory.
    const fs::path cwd = fs::current_path();
    fs::current_path(dir_.path());
    const ProgramDirResult rel = resolveProgramDir(fs::path("rel/"));
    fs::current_path(cwd);
    ASSERT_EQ(rel.error, "");
    EXPECT_EQ(rel.dir, dir_ / "rel");
}

TEST_F(ProgramDirTest, CommandLineDirThatCannotBeADirectory)
{
    test::writeFile(dir_ / "file", "x");
    EXPECT_NE(resolveProgramDir(dir_ / "file").error, "");
    EXPECT_NE(resolveProgramDir(dir_ / "file" / "sub").error, "");
    EXPECT_NE(resolveProgramDir(fs::path()).error, "");
}

TEST_F(ProgramDirTest, EditorAndFileManagerValues)
{
    EXPECT_EQ(registryValue("textedit"), "");
    ASSERT_TRUE(setRegistryValue("textedit", "/usr/bin/kate"));
    ASSERT_TRUE(setRegistryValue("filemanager", "dolphin"));
    EXPECT_EQ(registryValue("TextEdit"), "/usr/bin/kate");
    EXPECT_EQ(registryValue("filemanager"), "dolphin");
    EXPECT_FALSE(setRegistryValue("textedit", "two\nlines"));
    EXPECT_EQ(registryValue("textedit"), "/usr/bin/kate");
}

}  // namespace
}  // namespace norva
