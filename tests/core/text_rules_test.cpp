// Device text as bytes, the extra settings file, number bounds, file names
// from device text and the durable file writes.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <ios>

#include "conf_file.h"
#include "description_file.h"
#include "device_text.h"
#include "peers.h"
#include "settings_file.h"
#include "text.h"
#include "text_file.h"
#include "working_folder.h"

using namespace qz::app;

TEST(DeviceText, DecodesByTheOneRule) {
  struct Case {
    const char* name;
    std::string bytes;
    TCodePage codePage;
    std::string shown;  // UTF-8
  };
  const Case cases[] = {
      {"ASCII", "Rack 3", TCodePage::Latin1, "Rack 3"},
      {"Latin-1", "M\xFCller", TCodePage::Latin1, "M\xC3\xBCller"},
      {"cp1251", "\xD1\xEA\xEB\xE0\xE4", TCodePage::Windows1251, "\xD0\xA1\xD0\xBA\xD0\xBB\xD0\xB0\xD0\xB4"},
      {"cp1251 read as Latin-1", "\xD1\xEA", TCodePage::Latin1, "\xC3\x91\xC3\xAA"},
      {"valid UTF-8 stays", "\xD0\xA1 \xE2\x82\xAC", TCodePage::Latin1, "\xD0\xA1 \xE2\x82\xAC"},
      {"0xFF", "\xFF", TCodePage::Latin1, "\xC3\xBF"},
      {"overlong UTF-8 is not UTF-8", "\xC0\xAF", TCodePage::Latin1, "\xC3\x80\xC2\xAF"},
      {"surrogate is not UTF-8", "\xED\xA0\x80", TCodePage::Latin1, "\xC3\xAD\xC2\xA0\xC2\x80"},
      {"cp1251 hole", "\x98", TCodePage::Windows1251, "\xEF\xBF\xBD"},
      {"NUL kept", std::string("a\0b", 3), TCodePage::Latin1, std::string("a\0b", 3)},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeDeviceText(c.bytes, c.codePage), c.shown) << c.name;
}

TEST(DeviceText, TypedTextReadsBackAsTyped) {
  struct Case {
    const char* name;
    std::string typed;  // UTF-8
    TCodePage codePage;
    std::string bytes;
  };
  const Case cases[] = {
      {"ASCII", "Store 2", TCodePage::Latin1, "Store 2"},
      {"Latin-1 letter", "M\xC3\xBCller", TCodePage::Latin1, "M\xFCller"},
      {"Cyrillic in cp1251", "\xD0\xA1\xD0\xBA", TCodePage::Windows1251, "\xD1\xEA"},
      {"Cyrillic has no Latin-1 octet", "\xD0\xA1\xD0\xBA", TCodePage::Latin1, "\xD0\xA1\xD0\xBA"},
      {"euro sign in cp1251", "\xE2\x82\xAC", TCodePage::Windows1251, "\x88"},
      {"code page octets that look like UTF-8", "\xC3\x91\xC2\xA9", TCodePage::Latin1, "\xC3\x91\xC2\xA9"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeTypedText(c.typed, c.codePage), c.bytes) << c.name;
    EXPECT_EQ(DecodeDeviceText(EncodeTypedText(c.typed, c.codePage), c.codePage), c.typed) << c.name;
  }
}

TEST(DeviceText, CodePageNames) {
  for (TCodePage page : {TCodePage::Latin1, TCodePage::Windows1251}) EXPECT_EQ(CodePageNamed(CodePageName(page)), page);
  EXPECT_EQ(CodePageNamed("koi8-r"), std::nullopt);
}

TEST(ConfFile, KeepsWhatItDoesNotKnow) {
  TConfFile conf = ParseConf("; comment\r\n[Text]\r\nCodePage = Windows-1251\r\n\r\n[Later]\nKey=a=b\nnot a line\n");
  EXPECT_EQ(conf.Value("Text/CodePage"), "Windows-1251");
  EXPECT_EQ(conf.Value("Later/Key"), "a=b");
  EXPECT_EQ(conf.Value("Text/Missing", "fallback"), "fallback");
  conf.Set("Text/CodePage", "Latin-1");
  conf.Set("History/Days", "90");
  EXPECT_EQ(FormatConf(conf), "[Text]\r\nCodePage=Latin-1\r\n\r\n[Later]\r\nKey=a=b\r\n\r\n[History]\r\nDays=90\r\n");
  EXPECT_EQ(FormatConf(ParseConf(FormatConf(conf))), FormatConf(conf));
}

TEST(SettingsNumbers, AreBroughtIntoTheirRange) {
  const struct {
    const char* text;
    TNumberRange range;
    std::optional<int32_t> value;
  } cases[] = {{"100", kSnmpTimeOutRange, 100},      {"-1", kSnmpTimeOutRange, 1},
               {"0", kSnmpTimeOutRange, 1},          {"2147483647", kSnmpTimeOutRange, 60000},
               {"1000000", kRetryCountRange, 10},    {"-5", kRetryCountRange, 0},
               {"0", kRetryCountRange, 0},           {"abc", kPingTimeOutRange, std::nullopt},
               {"", kPingTimeOutRange, std::nullopt}, {"99999999999", kPingTimeOutRange, std::nullopt}};
  for (const auto& c : cases) {
    if (c.value) {
      EXPECT_EQ(ClampedNumber(c.text, c.range), *c.value) << c.text;
    } else {
      EXPECT_THROW(ClampedNumber(c.text, c.range), qz::EConvertError) << c.text;
    }
  }
}

TEST(TextFile, LinesAreCut) {
  const auto lines = SplitLines(std::string(10'000'000, '7') + "\r\nnext\r\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), kMaxLineBytes);
  EXPECT_EQ(lines[1], "next");
}

TEST(TextFile, AFailedWriteSaysWhyAndKeepsTheOldFile) {
  qz::test::ScratchDir dir("write");
  const std::string path = dir.File("list");
  EXPECT_EQ(WriteWholeFile(path, "old"), "");
  std::filesystem::create_directory(path + ".new");
  std::filesystem::create_directory(path + ".new/blocker");
  // The temporary file is made new: a folder at its name is not made away with.
  EXPECT_EQ(WriteWholeFile(path, "new"), "File exists");
  EXPECT_TRUE(std::filesystem::is_directory(path + ".new/blocker"));
  EXPECT_EQ(qz::test::ReadFileBytes(path), "old");
  EXPECT_NE(WriteWholeFile(dir.File("no folder/list"), "new"), "");
  EXPECT_EQ(ReadFile(dir.File("missing")).Error, "No such file or directory");
  EXPECT_EQ(ReadFile(dir.Path()).Error, "Is a directory");
  EXPECT_EQ(ReadFile(dir.Path()).Bytes, "");
}

#ifndef _WIN32
TEST(TextFile, ANewFileIsTheOwnersAloneAndAnOldOneKeepsItsMode) {
  qz::test::ScratchDir dir("modes");
  const auto mode = [](const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? (status.st_mode & 07777) : 0;
  };
  const std::string fresh = dir.File("QZexplorer.ini");
  ASSERT_EQ(WriteWholeFile(fresh, "secret community"), "");
  EXPECT_EQ(mode(fresh), 0600u);
  const std::string old = dir.File("QZdevices.cfg");
  ASSERT_EQ(WriteWholeFile(old, "first"), "");
  for (const mode_t kept : {0644u, 0640u, 0600u}) {
    ASSERT_EQ(chmod(old.c_str(), kept), 0);
    ASSERT_EQ(WriteWholeFile(old, "again"), "");
    EXPECT_EQ(mode(old), kept) << std::oct << kept;
  }
}
#endif

TEST(TextFile, LeftoverTemporaryIsRemoved) {
  qz::test::ScratchDir dir("leftover");
  const std::string path = dir.File("list");
  qz::test::WriteFileBytes(path + ".new", "half");
  RemoveLeftoverTemporary(path);
  EXPECT_FALSE(std::filesystem::exists(path + ".new"));
}

TEST(TextFile, NoLinesPastTheBound) {
  bool cut = false;
  const auto lines = SplitLines(std::string(1'000'000, '\n'), &cut, 1000);
  EXPECT_EQ(lines.size(), 1000u);
  EXPECT_TRUE(cut);
  EXPECT_EQ(SplitLines("a\nb\n", &cut, 2).size(), 2u);
  EXPECT_FALSE(cut);
  EXPECT_EQ(SplitLines(std::string(10'000'000, '\n')).size(), kMaxLines);
}

#ifndef _WIN32
// A link at the temporary's name, dangling or to a file outside, is never
// written through; the start-up clean-up removes it, and never its target.
TEST(TextFile, NoWriteThroughALink) {
  qz::test::ScratchDir dir("links");
  qz::test::ScratchDir outside("outside");
  const std::string path = dir.File("QZdevices.prev");
  const std::string target = outside.File("victim");
  for (const bool dangling : {false, true}) {
    std::filesystem::remove(target);
    if (!dangling) qz::test::WriteFileBytes(target, "not yours");
    std::filesystem::create_symlink(target, path + ".new");
    EXPECT_EQ(WriteWholeFile(path, "device names"), "") << dangling;
    EXPECT_EQ(qz::test::ReadFileBytes(path), "device names") << dangling;
    EXPECT_EQ(std::filesystem::exists(target), !dangling) << dangling;
    if (!dangling) {
      EXPECT_EQ(qz::test::ReadFileBytes(target), "not yours");
    }
    std::filesystem::create_symlink(target, path + ".new");
    RemoveLeftoverTemporary(path);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(path + ".new"))) << dangling;
    EXPECT_EQ(std::filesystem::exists(target), !dangling) << dangling;
  }
  // A link at the file's own name is replaced, not followed.
  qz::test::WriteFileBytes(target, "not yours");
  std::filesystem::remove(path);
  std::filesystem::create_symlink(target, path);
  EXPECT_EQ(WriteWholeFile(path, "device names"), "");
  EXPECT_FALSE(std::filesystem::is_symlink(path));
  EXPECT_EQ(qz::test::ReadFileBytes(target), "not yours");
}

TEST(TextFile, OnlyRegularFilesAreRead) {
  qz::test::ScratchDir dir("special");
  const std::string fifo = dir.File("QZdevices.cfg");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ReadFile(fifo).Error, "Is a FIFO, not a file");
}
#endif

TEST(DeviceTypes, OnlyPlainNamesNameAFile) {
  const struct {
    std::string type;
    bool safe;
    std::string sanitised;
  } cases[] = {{"QZ300", true, "QZ300"},
               {"QZ120exp", true, "QZ120exp"},
               {"QZ-5_b.v2", true, "QZ-5_b.v2"},
               {"../../../../tmp/x/QZ300", false, "_.__.__.__._tmp_x_QZ300"},
               {std::string("QZ300\0x", 7), false, "QZ300_x"},
               {"..", false, "_."},
               {"", false, ""},
               {"C:\\QZ300", false, "C__QZ300"},
               {"QZ 300", false, "QZ_300"}};
  for (const auto& c : cases) {
    EXPECT_EQ(IsSafeDeviceType(c.type), c.safe) << c.type;
    EXPECT_EQ(SanitisedDeviceType(c.type), c.sanitised) << c.type;
  }
}

TEST(StartOptions, ReadTheCommandLine) {
  const struct {
    std::vector<std::string> arguments;
    bool version;
    bool help;
    std::optional<std::string> workDir;
    std::string error;
    bool create = false;
    std::string command = "";
    std::string format = "csv";
    std::string range = "";
    bool yes = false;
  } cases[] = {{{}, false, false, std::nullopt, ""},
               {{"--version"}, true, false, std::nullopt, ""},
               {{"--help"}, false, true, std::nullopt, ""},
               {{"--workdir", "/srv/qz"}, false, false, "/srv/qz", ""},
               {{"--workdir=/srv/qz"}, false, false, "/srv/qz", ""},
               {{"--workdir", "/srv/qz", "--create"}, false, false, "/srv/qz", "", true},
               {{"--create"}, false, false, std::nullopt, "--create goes with --workdir", true},
               {{"--workdir"}, false, false, std::nullopt, "--workdir needs a folder"},
               {{"--colour"}, false, false, std::nullopt, "unknown option --colour"},
               {{"devices.cfg"}, false, false, std::nullopt, "unexpected argument \"devices.cfg\""},
               {{"-platform", "offscreen"}, false, false, std::nullopt, ""},
               {{"-reverse", "-style", "fusion", "--version"}, true, false, std::nullopt, ""},
               {{"export"}, false, false, std::nullopt, "", false, "export"},
               {{"--workdir", "/srv/qz", "export", "--format", "json"}, false, false, "/srv/qz", "", false, "export", "json"},
               {{"export", "--format=csv"}, false, false, std::nullopt, "", false, "export"},
               {{"poll"}, false, false, std::nullopt, "", false, "poll"},
               {{"export", "--format", "xml"}, false, false, std::nullopt, "--format is csv or json", false, "export", "xml"},
               {{"export", "--format"}, false, false, std::nullopt, "--format needs csv or json", false, "export"},
               {{"poll", "--format", "json"}, false, false, std::nullopt, "--format goes with export", false, "poll", "json"},
               {{"export", "poll"}, false, false, std::nullopt, "unexpected argument \"poll\"", false, "export"},
               {{"scan", "--range", "127.0.0.1-127.0.0.9", "--yes"}, false, false, std::nullopt, "", false, "scan", "csv",
                "127.0.0.1-127.0.0.9", true},
               {{"scan", "--range"}, false, false, std::nullopt, "--range needs FIRST-LAST", false, "scan"},
               {{"export", "--yes"}, false, false, std::nullopt, "--range, --community and --yes go with scan", false,
                "export", "csv", "", true}};
  for (const auto& c : cases) {
    const TStartOptions options = ParseStartOptions(c.arguments);
    EXPECT_EQ(options.ShowVersion, c.version) << c.error;
    EXPECT_EQ(options.ShowHelp, c.help) << c.error;
    EXPECT_EQ(options.WorkDir, c.workDir) << c.error;
    EXPECT_EQ(options.Error, c.error);
    EXPECT_EQ(options.CreateWorkDir, c.create) << c.error;
    EXPECT_EQ(options.Command, c.command) << c.error;
    EXPECT_EQ(options.Format, c.format) << c.error;
    EXPECT_EQ(options.Range, c.range) << c.error;
    EXPECT_EQ(options.Yes, c.yes) << c.error;
  }
}

// A mistyped --workdir is said, not made; --create makes it.
TEST(StartOptions, AWorkDirThatIsNotThereNeedsCreate) {
  qz::test::ScratchDir dir("workdir");
  qz::test::WriteFileBytes(dir.File("plain"), "x");
  const struct {
    std::vector<std::string> arguments;
    std::string problem;
  } cases[] = {{{}, ""},
               {{"--workdir", dir.Path()}, ""},
               {{"--workdir", dir.File("new")}, "the folder " + dir.File("new") + " does not exist (--create makes it)"},
               {{"--workdir", dir.File("new"), "--create"}, ""},
               {{"--workdir", dir.File("plain"), "--create"}, dir.File("plain") + " is not a folder"}};
  for (const auto& c : cases) EXPECT_EQ(WorkDirProblem(ParseStartOptions(c.arguments)), c.problem);
}

TEST(WorkingFolder, IsTheOneWithSettingsElseTheUsersOwn) {
  qz::test::ScratchDir dir("workdir");
  const std::string withSettings = dir.File("kept");
  std::filesystem::create_directory(withSettings);
  qz::test::WriteFileBytes(withSettings + "/QZexplorer.ini", "x\r\n");
  const std::string empty = dir.File("empty");
  std::filesystem::create_directory(empty);
  EXPECT_EQ(ChooseWorkingFolder({}, withSettings, "", "/home/op"), withSettings);
  EXPECT_EQ(ChooseWorkingFolder({}, empty, "", "/home/op"), "/home/op/.local/share/qz-explorer");
#ifdef _WIN32
  const std::string dataHome = "C:/data/op";
#else
  const std::string dataHome = "/data/op";
#endif
  EXPECT_EQ(ChooseWorkingFolder({}, empty, dataHome, "/home/op"), dataHome + "/qz-explorer");
  EXPECT_EQ(ChooseWorkingFolder({}, empty, "relative", "/home/op"), "/home/op/.local/share/qz-explorer");
  TStartOptions options;
  options.WorkDir = empty;
  EXPECT_EQ(ChooseWorkingFolder(options, withSettings, "", "/home/op"), empty);
}

// A new version's description files reach the copies the user never
// changed; a copy that differs otherwise stays, and is named once per
// installed version.
TEST(WorkingFolder, UpgradesReachTheCopiesTheUserNeverChanged) {
  qz::test::ScratchDir dir("upgrade");
  const std::string shared = dir.File("shared");
  std::filesystem::create_directory(shared);
  for (const char* name : {"QZ120.par", "QZ300.par", "QZ50.par"})
    qz::test::WriteFileBytes(shared + "/" + name, std::string("version 1 of ") + name);
  const std::string folder = dir.File("home/qz-explorer");
  const std::string copies = folder + "/DeviceFiles/";
  EXPECT_EQ(SeedDeviceFiles(shared, folder).Differing, std::vector<std::string>{});
  qz::test::WriteFileBytes(copies + "QZ120.par", "the user's own QZ120");
  // Copied by an earlier version that kept no record: it may be the user's.
  qz::test::WriteFileBytes(copies + "QZ999.par", "an old copy");
  qz::test::WriteFileBytes(shared + "/QZ999.par", "version 2 of QZ999.par");
  for (const char* name : {"QZ120.par", "QZ300.par"})
    qz::test::WriteFileBytes(shared + "/" + name, std::string("version 2 of ") + name);
  const TSeedResult upgraded = SeedDeviceFiles(shared, folder);
  EXPECT_EQ(upgraded.Differing, (std::vector<std::string>{"QZ120.par", "QZ999.par"}));
  EXPECT_EQ(qz::test::ReadFileBytes(copies + "QZ300.par"), "version 2 of QZ300.par");
  EXPECT_EQ(qz::test::ReadFileBytes(copies + "QZ50.par"), "version 1 of QZ50.par");
  EXPECT_EQ(qz::test::ReadFileBytes(copies + "QZ120.par"), "the user's own QZ120");
  EXPECT_EQ(qz::test::ReadFileBytes(copies + "QZ999.par"), "an old copy");
  // Said once: the next start is quiet, until another version differs.
  EXPECT_EQ(SeedDeviceFiles(shared, folder).Differing, std::vector<std::string>{});
  qz::test::WriteFileBytes(shared + "/QZ120.par", "version 3 of QZ120.par");
  EXPECT_EQ(SeedDeviceFiles(shared, folder).Differing, std::vector<std::string>{"QZ120.par"});
  EXPECT_EQ(qz::test::ReadFileBytes(copies + "QZ120.par"), "the user's own QZ120");
  EXPECT_EQ(DifferingDescriptionFilesText({"QZ120.par"}, "/usr/share/qz-explorer/DeviceFiles"),
            "DeviceFiles: QZ120.par differs from the description files installed with this version (kept as they "
            "are; the installed ones are in /usr/share/qz-explorer/DeviceFiles)");
}

TEST(WorkingFolder, SeedingNeverOverwritesTheUsersFiles) {
  qz::test::ScratchDir dir("seed");
  const std::string shared = dir.File("shared");
  std::filesystem::create_directory(shared);
  qz::test::WriteFileBytes(shared + "/QZ120.par", "shared QZ120");
  qz::test::WriteFileBytes(shared + "/QZ300.par", "shared QZ300");
  const std::string folder = dir.File("home/qz-explorer");
  EXPECT_EQ(SeedDeviceFiles(shared, folder).Failure, "");
  EXPECT_EQ(qz::test::ReadFileBytes(folder + "/DeviceFiles/QZ300.par"), "shared QZ300");
  qz::test::WriteFileBytes(folder + "/DeviceFiles/QZ300.par", "edited by the user");
  qz::test::WriteFileBytes(shared + "/QZ50.par", "shared QZ50");
  EXPECT_EQ(SeedDeviceFiles(shared, folder).Failure, "");
  EXPECT_EQ(qz::test::ReadFileBytes(folder + "/DeviceFiles/QZ300.par"), "edited by the user");
  EXPECT_EQ(qz::test::ReadFileBytes(folder + "/DeviceFiles/QZ50.par"), "shared QZ50");
#ifndef _WIN32
  // The folder it made is its user's alone; one that was there keeps its mode.
  struct stat status {};
  ASSERT_EQ(stat(folder.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0700u);
  const std::string existing = dir.File("shared-folder");
  std::filesystem::create_directory(existing);
  ASSERT_EQ(chmod(existing.c_str(), 0755), 0);
  EXPECT_EQ(SeedDeviceFiles(shared, existing).Failure, "");
  ASSERT_EQ(stat(existing.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0755u);
#endif
}

TEST(Help, TheCompiledFileElseTheManualOfTheLanguage) {
  qz::test::ScratchDir dir("help");
  const std::string working = dir.File("working");
  const std::string shared = dir.File("share");
  std::filesystem::create_directories(working + "/Help");
  std::filesystem::create_directories(shared + "/manual/en");
  std::filesystem::create_directories(shared + "/manual/ru");
  // Paths compare by their parts: Windows writes its own separator between them.
  const auto path = [](const std::string& text) { return std::filesystem::path(text); };
  EXPECT_EQ(HelpDocument(THelpLanguage::English, working, shared), "");
  qz::test::WriteFileBytes(shared + "/manual/en/index.html", "<html></html>");
  EXPECT_EQ(path(HelpDocument(THelpLanguage::English, working, shared)), path(shared + "/manual/en/index.html"));
  EXPECT_EQ(HelpDocument(THelpLanguage::Russian, working, shared), "");
  qz::test::WriteFileBytes(shared + "/manual/ru/index.html", "<html></html>");
  qz::test::WriteFileBytes(working + "/Help/QZ_Explorer_R.chm", "compiled");
  EXPECT_EQ(path(HelpDocument(THelpLanguage::Russian, working, shared)), path(working + "/Help/QZ_Explorer_R.chm"));
  EXPECT_EQ(path(HelpDocument(THelpLanguage::English, working, shared)), path(shared + "/manual/en/index.html"));
  EXPECT_EQ(path(SharedDataFolder("/usr/bin")), path("/usr/share/qz-explorer"));
}
