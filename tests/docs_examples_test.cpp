// The examples of the deployment documents (docs/*.md) are ones the launcher accepts: each
// block marked "<!-- checked: KIND ... -->" is loaded by the code that reads such text, and
// one that names its file under tools/ must be that file.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <sstream>

#include "app/command_file.h"
#include "app/config.h"
#include "app/format_check.h"
#include "app/package_files.h"
#include "app/version.h"
#include "app/vorlan_app.h"
#include "base/log.h"
#include "tests/support/test_support.h"

namespace {

struct DocExample {
    std::string where;  // document and line, for failure messages
    std::string kind;
    std::map<std::string, std::string> args;  // "name=value" or a bare "name" (value "")
    std::vector<std::string> lines;
};

// The source tree as this process sees it: under Wine the Linux root is drive Z:.
std::string SourcePath(const std::string& relative)
{
    std::string root = VORLAN_SOURCE_DIR;
    if (!root.empty() && root[0] == '/')
        root = "Z:" + root;
    return root + "/" + relative;
}

std::vector<std::string> TextLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first);
}

// The marked blocks of one document: the fence's indentation is taken off every line.
void CollectExamples(const std::string& document, std::vector<DocExample>& examples)
{
    static const std::string kMarker = "<!-- checked: ";
    const std::vector<std::string> lines = TextLines(vt::ReadFileBytes(SourcePath("docs/" + document)));
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string marker = Trimmed(lines[i]);
        if (marker.compare(0, kMarker.size(), kMarker) != 0)
            continue;
        DocExample example;
        example.where = document + ":" + std::to_string(i + 1);
        std::istringstream words(marker.substr(kMarker.size(), marker.find(" -->") - kMarker.size()));
        words >> example.kind;
        for (std::string word; words >> word;) {
            const size_t equals = word.find('=');
            example.args[word.substr(0, equals)] = equals == std::string::npos ? "" : word.substr(equals + 1);
        }
        size_t fence = i + 1;
        while (fence < lines.size() && Trimmed(lines[fence]).compare(0, 3, "```") != 0)
            ++fence;
        const size_t indent = lines[fence < lines.size() ? fence : i].find_first_not_of(' ');
        for (i = fence + 1; i < lines.size() && Trimmed(lines[i]).compare(0, 3, "```") != 0; ++i)
            example.lines.push_back(lines[i].size() > indent ? lines[i].substr(indent) : Trimmed(lines[i]));
        examples.push_back(example);
    }
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

bool BeginsWith(const CString& text, const char* prefix)
{
    return text.Left(static_cast<int>(std::strlen(prefix))) == prefix;
}

bool IsDecimal(const CString& text)
{
    const std::string digits = text.str();
    return !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos;
}

// A qxconfig.ini or platform file: known keys, formats that fit, a usable package name,
// download addresses over plain HTTP.
void CheckKeyValueFile(const DocExample& example)
{
    static const std::set<std::string> kKeys = {"pfCfgName", "pfURL", "shellcfgURL", "minver", "pkgName", "pkg",
                                                "maximize",  "log",   "params",      "qos",    "upload",  "page",
                                                "stratergy", "jump",  "startJump",   "testkey"};
    for (const std::string& line : example.lines) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos && equals > 0) {
            EXPECT_TRUE(kKeys.count(line.substr(0, equals))) << example.where << ": " << line;
        }
    }
    vt::TempDir dir("docs");
    vt::WriteFileBytes(dir / "example.ini", Joined(example.lines));
    CConfig config;
    config.SetExeDir(dir.path().c_str());
    config.Load("example.ini");
    const auto value = [&config](const char* key) { return config.GetValue(key); };
    const std::pair<const char*, const char*> formats[] = {{"pfCfgName", "s"}, {"pfURL", "sd"}, {"shellcfgURL", "d"}};
    for (const auto& [key, kinds] : formats)
        EXPECT_TRUE(FormatFitsArguments(value(key), kinds)) << example.where << ": " << key;
    for (const char* key : {"pfURL", "shellcfgURL", "pkg"})
        EXPECT_TRUE(value(key).IsEmpty() || BeginsWith(value(key), "http://")) << example.where << ": " << key;
    for (const char* key : {"qos", "upload", "page"})
        EXPECT_TRUE(value(key).IsEmpty() || BeginsWith(value(key), "http://") || BeginsWith(value(key), "https://"))
            << example.where << ": " << key;
    EXPECT_TRUE(value("pkgName").IsEmpty() || IsSafePackageName(value("pkgName"))) << example.where;
    EXPECT_TRUE(value("minver").IsEmpty() || IsDecimal(value("minver"))) << example.where;
    EXPECT_TRUE(value("stratergy").IsEmpty() || value("stratergy") == "redirect") << example.where;
    for (const std::string& line : example.lines)
        EXPECT_NE(line, "jump=") << example.where << ": an empty jump text matches every address";
}

// A shellcfg.ini, read as the launcher reads it: known sections and keys, flags of "0" or
// "1", and a self-update section whose names and formats the launcher takes.
void CheckShellConfig(const DocExample& example)
{
    static const std::set<std::string> kKeys = {"game.minver",       "shell.uploadFlag", "shell.disableExit",
                                                "update.updateFlag", "update.min",       "update.pkgName",
                                                "update.latest",     "update.autoupdate"};
    std::string section;
    for (const std::string& line : example.lines) {
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[')
            section = line.substr(1, line.find(']') - 1);
        else
            EXPECT_TRUE(kKeys.count(section + "." + line.substr(0, line.find('=')))) << example.where << ": " << line;
    }
    vt::TempDir dir("docs");
    const std::string path = dir / "shellcfg.ini";
    vt::WriteFileBytes(path, Joined(example.lines));
    const auto value = [&path](const char* section, const char* key) {
        return GetIniString(path.c_str(), section, key);
    };
    const CString minver = value("game", "minver");
    EXPECT_TRUE(minver.IsEmpty() || (IsDecimal(minver) && minver != "0")) << example.where;
    for (const auto& [section, key] :
         {std::pair{"shell", "uploadFlag"}, {"shell", "disableExit"}, {"update", "updateFlag"}})
        EXPECT_TRUE(value(section, key).IsEmpty() || value(section, key) == "0" || value(section, key) == "1")
            << example.where << ": " << key;
    if (value("update", "updateFlag") != "1")
        return;
    EXPECT_GT(VersionToNumber(value("update", "min")), VersionToNumber("1.0.0.1")) << example.where;
    EXPECT_TRUE(IsSafePackageName(value("update", "pkgName"))) << example.where;
    EXPECT_TRUE(FormatFitsArguments(value("update", "latest"), "sd")) << example.where;
    EXPECT_TRUE(FormatFitsArguments(value("update", "autoupdate"), "d")) << example.where;
    for (const char* key : {"latest", "autoupdate"})
        EXPECT_TRUE(BeginsWith(value("update", key), "http://")) << example.where << ": " << key;
}

// A launcher's command-line tail: the platform and modes the marker names.
void CheckCommandLine(const DocExample& example, const std::string& logPath)
{
    ASSERT_EQ(example.lines.size(), 1u) << example.where;
    LogInit(logPath.c_str());
    CVorlanClientApp app;
    app.ParseCommandLine(example.lines[0].c_str());
    EXPECT_EQ(app.platform, example.args.at("platform")) << example.where;
    EXPECT_EQ(app.hide, example.args.count("hide") ? 1 : 0) << example.where;
    EXPECT_EQ(app.simpleMode, example.args.count("simple") ? 1 : 0) << example.where;
}

// The game's command file: a sequence number that counts and a command.
void CheckCommandFile(const DocExample& example)
{
    vt::TempDir dir("docs");
    vt::WriteFileBytes(dir / "1.txt", Joined(example.lines));
    CommandFileContent content;
    ASSERT_TRUE(ReadCommandFile((dir / "1.txt").c_str(), content)) << example.where;
    EXPECT_GE(content.sequence, 1) << example.where;
    EXPECT_NE(ParseGameCommand(content.command), GameCommand::None) << example.where;
}

}  // namespace

TEST(DocsExamplesTest, EveryMarkedExampleIsAccepted)
{
    std::vector<DocExample> examples;
    for (const char* document : {"configuration.md", "command-line.md", "deploying.md", "game-interface.md", "files.md",
                                 "page-interface.md", "statistics-server.md"})
        CollectExamples(document, examples);
    vt::TempDir logDir("docslog");
    std::map<std::string, int> seen;
    for (const DocExample& example : examples) {
        EXPECT_FALSE(example.lines.empty()) << example.where;
        ++seen[example.kind];
        if (example.kind == "keyvalue")
            CheckKeyValueFile(example);
        else if (example.kind == "shellcfg")
            CheckShellConfig(example);
        else if (example.kind == "command-line")
            CheckCommandLine(example, logDir / "log.log");
        else if (example.kind == "command-file")
            CheckCommandFile(example);
        else
            ADD_FAILURE() << example.where << ": unknown kind " << example.kind;
        if (example.args.count("file")) {
            EXPECT_EQ(TextLines(vt::ReadFileBytes(SourcePath(example.args.at("file")))), example.lines)
                << example.where;
        }
    }
    for (const char* kind : {"keyvalue", "shellcfg", "command-line", "command-file"})
        EXPECT_GT(seen[kind], 0) << "no example of kind " << kind;
}
