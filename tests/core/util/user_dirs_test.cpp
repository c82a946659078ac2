#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "../support/scoped_env.h"
#include "temp_tree.h"
#include "user_dirs.h"

namespace tidewell {
namespace {

using test::ScopedEnv;

TEST(UserDirs, HomeIsHomeVariableFirstThenTheUserDatabase) {
    const passwd* pw = ::getpwuid(::getuid());
    ASSERT_NE(pw, nullptr);
    const std::string database = pw->pw_dir;
    {
        ScopedEnv home("HOME", "/somewhere/else");
        EXPECT_EQ(homeDirectory(), "/somewhere/else");
        ScopedEnv data("XDG_DATA_HOME", std::nullopt);
        EXPECT_EQ(dataHome(), "/somewhere/else/.local/share");
        EXPECT_EQ(dataHomeFor("/given/home/"), "/given/home/.local/share");
        ScopedEnv config("XDG_CONFIG_HOME", "relative/is/ignored");
        EXPECT_EQ(configHome(), "/somewhere/else/.config");
    }
    {
        ScopedEnv home("HOME", std::nullopt);
        EXPECT_EQ(homeDirectory(), database);
    }
    {
        ScopedEnv home("HOME", "not/absolute");
        EXPECT_EQ(homeDirectory(), database);
    }
    ScopedEnv data("XDG_DATA_HOME", "/xdg/data");
    EXPECT_EQ(dataHomeFor("/given/home"), "/xdg/data");
}

TEST(UserDirs, DownloadFolderFromUserDirsFile) {
    const std::string home = "/home/ayşe";
    // As xdg-user-dirs-update writes it on a Turkish desktop.
    const std::string turkish =
        "# This file is written by xdg-user-dirs-update\n"
        "XDG_DESKTOP_DIR=\"$HOME/Masaüstü\"\n"
        "XDG_DOWNLOAD_DIR=\"$HOME/İndirilenler\"\n"
        "XDG_DOWNLOAD_DIRECTORY=\"$HOME/not-this\"\n";
    EXPECT_EQ(userDirIn(turkish, "XDG_DOWNLOAD_DIR", home), "/home/ayşe/İndirilenler");
    EXPECT_EQ(userDirIn(turkish, "XDG_DESKTOP_DIR", home), "/home/ayşe/Masaüstü");
    EXPECT_FALSE(userDirIn(turkish, "XDG_MUSIC_DIR", home));
    // Absolute values, escapes, spacing, the last assignment winning.
    EXPECT_EQ(
        userDirIn("  XDG_DOWNLOAD_DIR = \"/data/My \\\"Files\\\"/\"\n", "XDG_DOWNLOAD_DIR", home),
        "/data/My \"Files\"");
    EXPECT_EQ(userDirIn("XDG_DOWNLOAD_DIR=\"$HOME/a\"\nXDG_DOWNLOAD_DIR=\"$HOME/b\"",
                        "XDG_DOWNLOAD_DIR", home),
              "/home/ayşe/b");
    // Unusable lines are skipped; the home itself means the folder is turned off.
    for (const char* text :
         {"XDG_DOWNLOAD_DIR=\"relative/path\"", "XDG_DOWNLOAD_DIR=$HOME/unquoted",
          "XDG_DOWNLOAD_DIR=\"$HOME/unterminated", "XDG_DOWNLOAD_DIR=\"$HOMEX/y\"",
          "XDG_DOWNLOAD_DIR=\"$HOME/\"", "XDG_DOWNLOAD_DIR=\"$HOME\"", ""})
        EXPECT_FALSE(userDirIn(text, "XDG_DOWNLOAD_DIR", home)) << text;
}

TEST(UserDirs, DownloadsDirectoryReadsTheConfigFolder) {
    test::TempDir t;
    const std::string config = t.mkdir("config");
    ScopedEnv home("HOME", t.path());
    ScopedEnv xdg("XDG_CONFIG_HOME", config);
    EXPECT_EQ(downloadsDirectory(), t / "Downloads");  // no user-dirs.dirs
    std::ofstream(config + "/user-dirs.dirs") << "XDG_DOWNLOAD_DIR=\"$HOME/İndirilenler\"\n";
    EXPECT_EQ(downloadsDirectory(), t / "İndirilenler");
    {
        // Without XDG_CONFIG_HOME the file is looked for in ~/.config.
        ScopedEnv unset("XDG_CONFIG_HOME", std::nullopt);
        EXPECT_EQ(downloadsDirectory(), t / "Downloads");
        t.mkdir(".config");
        std::ofstream(t / ".config/user-dirs.dirs") << "XDG_DOWNLOAD_DIR=\"/srv/inbox\"\n";
        EXPECT_EQ(downloadsDirectory(), "/srv/inbox");
    }
}

}  // namespace
}  // namespace tidewell
