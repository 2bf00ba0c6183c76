// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/RuntimeFolder.h"
#include "support/TempDir.h"

namespace {

// Points the variables the runtime folder is chosen from at a test's own
// folders, and puts them back afterwards.
class RuntimeFolderChoice : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CACHE_HOME"})
            if (const char* value = getenv(name))
                saved.emplace_back(name, value);
        setenv("XDG_CACHE_HOME", dir.Folder("cache").c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("XDG_RUNTIME_DIR");
        unsetenv("XDG_CACHE_HOME");
        for (const auto& variable : saved)
            setenv(variable.first.c_str(), variable.second.c_str(), 1);
    }
    // Where the program goes when it refuses $XDG_RUNTIME_DIR.
    std::string Fallback() const
    {
        const std::string system = "/run/user/" + std::to_string(geteuid());
        struct stat info;
        if (lstat(system.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
            (info.st_mode & 077) == 0)
            return system;
        return dir.Path("cache/vorlix-runtime");
    }

    TempDir dir;
    std::vector<std::pair<std::string, std::string>> saved;
};

}  // namespace

TEST_F(RuntimeFolderChoice, TakesAnOwnedXdgRuntimeDirClosedToOthers)
{
    const std::string own = dir.Folder("own");
    chmod(own.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", own.c_str(), 1);
    EXPECT_EQ(RuntimeFolder::Path(), own);
}

TEST_F(RuntimeFolderChoice, RefusesAFolderThatIsNotPrivateAndMakesItsOwnInTheHome)
{
    const std::string open = dir.Folder("open");
    chmod(open.c_str(), 0755);
    const std::string own = dir.Folder("own");
    chmod(own.c_str(), 0700);
    const std::string link = dir.Path("link");
    ASSERT_EQ(symlink(own.c_str(), link.c_str()), 0);
    std::vector<std::string> refused{open, link, "relative/folder"};
    if (geteuid() == 0) {
        const std::string foreign = dir.Folder("foreign");
        chmod(foreign.c_str(), 0700);
        ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
        refused.push_back(foreign);
    }
    for (const std::string& folder : refused) {
        setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
        EXPECT_EQ(RuntimeFolder::Path(), Fallback()) << folder;
    }
    struct stat info;
    ASSERT_EQ(lstat(dir.Path("cache/vorlix-runtime").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(RuntimeFolderChoice, AFolderInTheHomeTakenByAnotherUserIsNotUsed)
{
    if (geteuid() == 0 && Fallback() == dir.Path("cache/vorlix-runtime")) {
        const std::string planted = dir.Folder("cache/vorlix-runtime");
        chmod(planted.c_str(), 0700);
        ASSERT_EQ(chown(planted.c_str(), 65534, 65534), 0);
        unsetenv("XDG_RUNTIME_DIR");
        EXPECT_EQ(RuntimeFolder::Path(), "");
    } else {
        GTEST_SKIP() << "needs root and no /run/user folder";
    }
}
