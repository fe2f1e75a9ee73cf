#include <gtest/gtest.h>

#include <sstream>

#include "foundation/file_utils.h"
#include "foundation_test_support.h"
#include "shell/status_line.h"

namespace {

using Lines = std::vector<std::string>;

std::string utf16(const std::u16string& text, bool bigEndian, bool bom) {
    std::string bytes;
    auto put = [&](char16_t c) {
        const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
        bytes += bigEndian ? hi : lo;
        bytes += bigEndian ? lo : hi;
    };
    if (bom) put(u'\xFEFF');
    for (char16_t c : text) put(c);
    return bytes;
}

TEST(FileEncoding, ByTheFirstTwoBytes) {
    TempFolder folder;
    const struct {
        const char* name;
        std::string bytes;
        int encoding;
    } cases[] = {{"le.txt",
                  "\xFF\xFE"
                  "a\0",
                  1},
                 {"be.txt", "\xFE\xFF\0a", 2},
                 {"bom.txt",
                  "\xEF\xBB\xBF"
                  "a",
                  3},
                 {"plain.txt", "ab", 0},
                 {"short.txt", "\xFF", 0},
                 {"empty.txt", "", 0}};
    for (const auto& c : cases) {
        writeWholeFile(folder / c.name, c.bytes);
        EXPECT_EQ(gf_fileEncoding(folder / c.name), c.encoding) << c.name;
    }
}

TEST(FileEncoding, UnreadableFileIsLoggedAndGivesFive) {
    CapturedLog log;
    TempFolder folder;
    const fs::path missing = folder / "missing.cfg";
    EXPECT_EQ(gf_fileEncoding(missing), encodingUnreadable);
    EXPECT_EQ(log.text(), "cannot open file " + missing.string() + " for character encoding, err: 2\n");
}

TEST(ReadFileLines, EveryEncodingGivesTheSameUtf8Lines) {
    TempFolder folder;
    const Lines expected{"[fltsim.0]", "title=\xC3\x84rger \xE2\x82\xAC", "", "last"};
    const std::u16string text = u"[fltsim.0]\r\ntitle=\u00C4rger \u20AC\r\n\r\nlast";
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {{"plain.cfg", "[fltsim.0]\r\ntitle=\xC3\x84rger \xE2\x82\xAC\n\nlast\n"},
                 {"bom.cfg", "\xEF\xBB\xBF[fltsim.0]\ntitle=\xC3\x84rger \xE2\x82\xAC\r\n\r\nlast"},
                 {"le.cfg", utf16(text, false, true)},
                 {"be.cfg", utf16(text, true, true)}};
    for (const auto& c : cases) {
        writeWholeFile(folder / c.name, c.bytes);
        Lines lines{"kept"};
        EXPECT_TRUE(gf_readFileLines(gf_fileEncoding(folder / c.name), folder / c.name, lines)) << c.name;
        Lines want{"kept"};
        want.insert(want.end(), expected.begin(), expected.end());
        EXPECT_EQ(lines, want) << c.name;
    }
}

TEST(ReadFileLines, ByteOrderMarkIsRemovedOnlyOnce) {
    TempFolder folder;
    // A plain file read as plain keeps its bytes; a BOM file read as encoding 3 loses exactly three bytes.
    writeWholeFile(folder / "twice.cfg", "\xEF\xBB\xBF\xEF\xBB\xBFx\n");
    Lines lines;
    ASSERT_TRUE(gf_readFileLines(3, folder / "twice.cfg", lines));
    EXPECT_EQ(lines, Lines{"\xEF\xBB\xBFx"});
}

TEST(ReadFileLines, FailuresReturnFalse) {
    ShellHooksRegistered hooks;
    TempFolder folder;
    Lines lines{"kept"};
    EXPECT_FALSE(gf_readFileLines(0, folder / "missing", lines));
    EXPECT_FALSE(gf_readFileLines(1, folder / "missing", lines));
    EXPECT_EQ(lines, Lines{"kept"});

    // A lone surrogate in the second line: the first line is kept, the reading ends and is reported.
    writeWholeFile(folder / "bad.cfg", utf16(u"good\n\xD800x\nnever", false, true));
    EXPECT_FALSE(gf_readFileLines(1, folder / "bad.cfg", lines));
    EXPECT_EQ(lines, (Lines{"kept", "good"}));
    EXPECT_EQ(gf_statusSnapshot().statusText, "conversion from error from utf16 to utf8, code: 1113");
    gf_clearStatus();
}

TEST(ReadFile, LinesOrNothing) {
    TempFolder folder;
    writeWholeFile(folder / "a.txt", "one\r\ntwo\n");
    writeWholeFile(folder / "empty.txt", "");
    EXPECT_EQ(gf_readFile(folder / "a.txt", 32), (Lines{"one", "two"}));
    EXPECT_FALSE(gf_readFile(folder / "empty.txt", 1).has_value());
    EXPECT_FALSE(gf_readFile(folder / "missing.txt", 1).has_value());
}

TEST(WriteFile, ReplacesContent) {
    TempFolder folder;
    const fs::path path = folder / "out.txt";
    EXPECT_TRUE(gf_writeFile("first", path, true));
    EXPECT_TRUE(gf_writeFile("second", path, false));
    EXPECT_EQ(readWholeFile(path), "second");
    EXPECT_TRUE(gf_writeLinesToFile({"a", "b"}, path));
    EXPECT_EQ(readWholeFile(path), "a\nb\n");
    EXPECT_TRUE(gf_writeListToFile({"c"}, path));
    EXPECT_EQ(readWholeFile(path), "c\n");
    EXPECT_TRUE(gf_writeLinesToFile({}, path));
    EXPECT_EQ(readWholeFile(path), "");
    const fs::path nowhere = folder / "no" / "such.txt";
    EXPECT_FALSE(gf_writeFile("x", nowhere, true));
    EXPECT_FALSE(gf_writeLinesToFile({"x"}, nowhere));
    EXPECT_FALSE(gf_writeListToFile({"x"}, nowhere));
}

TEST(StreamLines, AllLinesWithoutLineEnds) {
    std::istringstream stream("a\r\nb\n\nc");
    EXPECT_EQ(gf_readStreamLines(stream), (std::list<std::string>{"a", "b", "", "c"}));
}

TEST(FolderUtilities, RemoveAndCount) {
    TempFolder folder;
    EXPECT_EQ(gf_countFolderEntries(folder / "missing"), 0u);
    writeWholeFile(folder / "a", "");
    fs::create_directories(folder / "sub");
    EXPECT_EQ(gf_countFolderEntries(folder.path()), 2u);
    EXPECT_TRUE(gf_removeFile(folder / "a"));
    EXPECT_TRUE(gf_removeFile(folder / "a"));
    EXPECT_FALSE(fs::exists(folder / "a"));
    writeWholeFile(folder / "sub" / "x", "");
    EXPECT_THROW(gf_removeFile(folder / "sub"), fs::filesystem_error);  // a folder that is not empty
}

TEST(FolderUtilities, XmlFilesOfMyThirdparty) {
    InTempWorkingFolder folder;
    EXPECT_TRUE(gf_xmlFilesIn().empty());
    fs::create_directories("airports/my_thirdparty/sub.xml");
    for (const char* name : {"EDDF.xml", "LSZH.XML", "KJFK.Xml", "readme.txt", "noext"})
        writeWholeFile(fs::path("airports/my_thirdparty") / name, "x");
    auto names = gf_xmlFilesIn();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Lines{"EDDF", "KJFK", "LSZH"}));
}

TEST(Xml, SaveAndAttribute) {
    CapturedLog log;
    TempFolder folder;
    pugi::xml_document document;
    auto node = document.append_child("parameter");
    node.append_attribute("name") = "LOG";
    EXPECT_EQ(gf_attributeString(node, "name"), "LOG");
    EXPECT_EQ(gf_attributeString(node, "value"), "");
    EXPECT_EQ(gf_attributeString(pugi::xml_node(), "name"), "");
    const fs::path good = folder / "p.xml";
    const fs::path bad = folder / "no" / "p.xml";
    EXPECT_TRUE(gf_saveXml(document, good));
    EXPECT_FALSE(gf_saveXml(document, bad));
    EXPECT_EQ(log.text(), "\"" + good.string() + "\" saved\n===> could not save to \"" + bad.string() + "\"\n");
}

TEST(AppDataPaths, OverridesAndMissingFolders) {
    {
        ScopedEnv roaming("VEXA_APPDATA", "/tmp/roaming");
        ScopedEnv local("VEXA_LOCALAPPDATA", "/tmp/local");
        EXPECT_EQ(gf_getAppDataPath(), fs::path("/tmp/roaming"));
        EXPECT_EQ(gf_getLocalAppDataPath(), fs::path("/tmp/local"));
    }
    CapturedLog log;
    ScopedEnv roaming("VEXA_APPDATA", std::nullopt);
    ScopedEnv local("VEXA_LOCALAPPDATA", std::nullopt);
    ScopedEnv xdgConfig("XDG_CONFIG_HOME", std::nullopt);
    ScopedEnv xdgData("XDG_DATA_HOME", std::nullopt);
    ScopedEnv home("HOME", std::nullopt);
    EXPECT_EQ(gf_getAppDataPath(), fs::path());
    EXPECT_EQ(gf_getLocalAppDataPath(), fs::path());
    EXPECT_EQ(log.text(), "===> Could not find the AppData path\n===> Could not find the a Local Appdata path\n");
}

}  // namespace
