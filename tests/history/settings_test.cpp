#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "history_settings.h"
#include "peers.h"

using namespace qz::history;

namespace {

THistoryChoice Choose(const std::map<std::string, std::string>& keys, const std::string& environment = "") {
  return HistoryChoice(
      [&](const std::string& key) {
        const auto found = keys.find(key);
        return found == keys.end() ? std::string() : found->second;
      },
      environment,
      [](const std::string& path, std::string& why) -> std::optional<std::string> {
        if (path == "good") return "from the file";
        why = "others may read it (chmod 600 it)";
        return std::nullopt;
      });
}

}  // namespace

TEST(HistorySettings, TheConfChoosesTheDatabase) {
  const auto plain = Choose({});
  ASSERT_TRUE(plain.Store);
  EXPECT_EQ(plain.Store->Dialect, TDialect::SQLite);
  EXPECT_EQ(plain.Store->File, "QZhistory.db");
  EXPECT_EQ(plain.Store->RetentionDays, 90);
  EXPECT_FALSE(Choose({{"Database", "off"}}).Store);

  const auto shared = Choose({{"Database", "postgresql"}, {"Host", "10.0.0.5"}, {"Port", "6432"}, {"Name", "qz"},
                              {"User", "ops"}, {"RetentionDays", "30"}},
                             "from the environment");
  ASSERT_TRUE(shared.Store);
  EXPECT_EQ(shared.Store->Dialect, TDialect::PostgreSQL);
  EXPECT_EQ(shared.Store->Host, "10.0.0.5");
  EXPECT_EQ(shared.Store->Port, 6432);
  EXPECT_EQ(shared.Store->Password, "from the environment");
  EXPECT_EQ(shared.Store->RetentionDays, 30);
  EXPECT_EQ(Choose({{"Database", "postgresql"}, {"Name", "qz"}, {"User", "ops"}, {"PasswordFile", "good"}}, "env")
                .Store->Password,
            "from the file");

  const struct {
    std::map<std::string, std::string> keys;
    bool recording;
    std::string problem;
  } faulty[] = {
      {{{"Database", "mysql"}}, false, "History/Database must be sqlite, postgresql or off, not \"mysql\"; recording is off"},
      {{{"Database", "postgresql"}, {"Name", "qz"}}, false,
       "History/Name and History/User are needed for postgresql; recording is off"},
      {{{"Database", "postgresql"}, {"Name", "qz"}, {"User", "ops"}, {"PasswordFile", "open"}}, false,
       "History/PasswordFile open: others may read it (chmod 600 it); recording is off"},
      {{{"RetentionDays", "0"}}, true, "History/RetentionDays must be a number from 1 to 36500; 90 is used"},
  };
  for (const auto& c : faulty) {
    const auto choice = Choose(c.keys);
    EXPECT_EQ(choice.Store.has_value(), c.recording) << c.problem;
    EXPECT_EQ(choice.Problem, c.problem);
  }
}

TEST(HistorySettings, APasswordFileMustBeTheOwnersAlone) {
  qz::test::ScratchDir dir("password");
  const std::string file = dir.File("password");
  qz::test::WriteFileBytes(file, "s3cret\r\nsecond line\n");
  std::string why;
  std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  EXPECT_FALSE(ReadOwnersPasswordFile(file, why));
  EXPECT_EQ(why, "others may read it (chmod 600 it)");
  std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(ReadOwnersPasswordFile(file, why), "s3cret");
  EXPECT_FALSE(ReadOwnersPasswordFile(dir.File("missing"), why));
}
