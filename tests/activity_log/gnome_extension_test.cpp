// activity-log gnome-extension's reading and writing of GNOME's settings lists, which
// hold the user's other extensions: a list it can't read exactly is not rewritten.
#include "activity_log/gnome_extension_command.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using activity_log::formatStringList;
using activity_log::gnomeShellMajorVersion;
using activity_log::parseStringList;
using List = std::vector<std::string>;

TEST(GnomeSettingsList, ReadAsGsettingsPrintsIt) {
    const struct {
        std::string text;
        std::optional<List> list;
    } cases[] = {
        {"@as []\n", List{}},
        {"[]", List{}},
        {"['a@b.org']\n", List{"a@b.org"}},
        {"['a@b', 'c@d']\n", List{"a@b", "c@d"}},
        {"[\"it's@x\", 'q\\'s@y', 'back\\\\slash']", List{"it's@x", "q's@y", "back\\slash"}},
        {"  [ 'a' ,'b' ]  ", List{"a", "b"}},
        {"['a\\tb']", List{"a\tb"}},
        // Not a list it can rewrite without losing anything: left alone.
        {"", std::nullopt},
        {"['a'", std::nullopt},
        {"['a' 'b']", std::nullopt},
        {"['a',]", std::nullopt},
        {"['unterminated]", std::nullopt},
        {"['\\u00e9']", std::nullopt},
        {"['a'] trailing", std::nullopt},
        {"[1, 2]", std::nullopt},
        {"No such key \"enabled-extensions\"", std::nullopt},
        {"[" + std::string(70000, ' ') + "]", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseStringList(c.text), c.list) << c.text;
    }
}

TEST(GnomeSettingsList, WrittenSoThatItReadsBackTheSame) {
    const List lists[] = {
        {},
        {"focused-window@activity-sampler"},
        {"a@b", "it's@x", "back\\slash", "tab\tand\nline"},
    };
    for (const List& list : lists) {
        EXPECT_EQ(parseStringList(formatStringList(list)), list) << formatStringList(list);
    }
    EXPECT_EQ(formatStringList({}), "@as []");
    EXPECT_EQ(formatStringList({"a@b", "c'd"}), "['a@b', 'c\\'d']");
}

TEST(GnomeShellVersion, MajorFromItsAnswer) {
    const struct {
        std::string answer;
        std::optional<int> major;
    } cases[] = {
        {"GNOME Shell 43.9\n", 43},
        {"GNOME Shell 45.rc\n", 45},
        {"GNOME Shell 3.38.6\n", 3},
        {"GNOME Shell 100.0\n", 100},
        {"GNOME Shell \n", std::nullopt},
        {"GNOME Shell 99999\n", std::nullopt},
        {"gnome-shell: command not found\n", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gnomeShellMajorVersion(c.answer), c.major) << c.answer;
    }
}

} // namespace
