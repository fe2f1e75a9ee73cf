#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <string>
#include <utility>
#include <vector>

#include "foundation/clock.h"
#include "foundation/meta_header.h"
#include "foundation/version.h"
#include "tests/foundation/foundation_test_support.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries entriesOf(const pugi::xml_node& meta) {
    Entries entries;
    for (pugi::xml_node info : meta.children("info")) {
        EXPECT_STREQ(info.first_attribute().name(), "name");
        entries.emplace_back(info.attribute("name").value(), info.attribute("value").value());
    }
    return entries;
}

class MetaHeaderTest : public ::testing::Test {
protected:
    void SetUp() override { simFamilyName.set("MSFS"); }
    void TearDown() override {
        simFamilyName.set("MSFS");
        programVersion = saved;
    }
    VersionData saved = programVersion;
    ManualClock clock{1796817600};  // Wed Dec 09 12:00:00 2026 UTC
    ScopedClock useClock{clock};
    CapturedLog log;
    TempFolder folder;
};

pugi::xml_document parse(const char* text) {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_string(text));
    return document;
}

}  // namespace

TEST_F(MetaHeaderTest, WritesFiveEntriesBeforeTheFilesOwnRoot) {
    programVersion = VersionData{1, 4, 2};
    pugi::xml_document document;
    ASSERT_TRUE(gf_writeMetaData(document));
    document.append_child("parkpositions");

    EXPECT_STREQ(document.first_child().name(), "meta");
    EXPECT_STREQ(document.last_child().name(), "parkpositions");
    const Entries entries = entriesOf(document.child("meta"));
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0], (std::pair<std::string, std::string>{"author", "Vexa"}));
    EXPECT_EQ(entries[1], (std::pair<std::string, std::string>{"version", "1.4.2"}));
    EXPECT_EQ(entries[2], (std::pair<std::string, std::string>{"date", "Dec 09, 2026"}));
    EXPECT_EQ(entries[3].first, metaHeader.maker.name);
    EXPECT_FALSE(entries[3].second.empty());
    EXPECT_EQ(entries[4], (std::pair<std::string, std::string>{"MSFS", "2020"}));

    // Written and read back through a file, the header passes its own check and fills the entries.
    const fs::path path = folder / "cache.xml";
    ASSERT_TRUE(document.save_file(path.c_str()));
    pugi::xml_document loaded;
    ASSERT_TRUE(loaded.load_file(path.c_str()));
    EXPECT_TRUE(gf_checkMetaData(loaded));
    EXPECT_EQ(metaHeader.author.value(), "Vexa");
    EXPECT_EQ(metaHeader.date.value(), "Dec 09, 2026");
    EXPECT_EQ(metaHeader.version.value(), "1.4.2");
    EXPECT_TRUE(gf_readMetaInfo(loaded, metaHeader.msfs));
    EXPECT_EQ(metaHeader.msfs.value(), "2020");
    EXPECT_EQ(log.text(), "");
}

TEST_F(MetaHeaderTest, SimulatorEntryFollowsTheFamilyName) {
    for (const auto& [family, year] : std::vector<std::pair<std::string, std::string>>{
             {"MSFS", "2020"}, {"MSFS2024", "2024"}, {"msfs", "2024"}, {"MSFS ", "2024"}, {"", "2024"}}) {
        simFamilyName.set(family);
        pugi::xml_document document;
        ASSERT_TRUE(gf_writeMetaData(document));
        EXPECT_EQ(entriesOf(document.child("meta")).back(), (std::pair<std::string, std::string>{"MSFS", year}))
            << "family " << family;
    }
}

TEST_F(MetaHeaderTest, ANodeThatCannotHoldElementsGetsNoHeader) {
    pugi::xml_document document;
    pugi::xml_node root = document.append_child("root");
    pugi::xml_node text = root.append_child(pugi::node_pcdata);
    EXPECT_FALSE(gf_writeMetaData(text));
    EXPECT_FALSE(gf_writeMetaData(pugi::xml_node{}));
    EXPECT_FALSE(root.child("meta"));
    EXPECT_TRUE(gf_writeMetaData(root));  // an element can hold it
    EXPECT_EQ(log.text(), "");
}

TEST_F(MetaHeaderTest, CheckFailsForMissingOrMisplacedEntries) {
    struct Case {
        const char* name;
        const char* xml;
        bool ok;
    };
    const std::vector<Case> cases = {
        {"complete",
         "<meta><info name='author' value='Vexa'/><info name='date' value='d'/>"
         "<info name='version' value='1.0.0'/></meta><airport/>",
         true},
        {"info without value",
         "<meta><info name='author'/><info name='date' value='d'/>"
         "<info name='version' value=''/></meta>",
         true},
        {"no header", "<airport/>", false},
        {"header inside the root",
         "<airport><meta><info name='author' value='Vexa'/><info name='date' value='d'/>"
         "<info name='version' value='1.0.0'/></meta></airport>",
         false},
        {"no date", "<meta><info name='author' value='Vexa'/><info name='version' value='9.9.9'/></meta>", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        metaHeader.version.set("untouched");
        const std::size_t before = log.text().size();
        pugi::xml_document document = parse(c.xml);
        EXPECT_EQ(gf_checkMetaData(document), c.ok);
        const std::string added = log.text().substr(before);
        EXPECT_EQ(added, c.ok ? "" : "===> meta data incorrect?\n");
        if (std::string{c.name} == "no date") {  // the check stops at "date": "version" is not read
            EXPECT_EQ(metaHeader.version.value(), "untouched");
        }
        if (std::string{c.name} == "info without value") {
            EXPECT_EQ(metaHeader.author.value(), "");
        }
    }
}

TEST_F(MetaHeaderTest, ReadOfOneEntry) {
    EXPECT_EQ(gf_metaInfoXPath("date"), "/meta/info[@name='date']");
    pugi::xml_document document = parse("<meta><info name='MSFS' value='2024'/></meta>");
    metaHeader.msfs.set("old");
    EXPECT_TRUE(gf_readMetaInfo(document, metaHeader.msfs));
    EXPECT_EQ(metaHeader.msfs.value(), "2024");
    metaHeader.author.set("old");
    EXPECT_FALSE(gf_readMetaInfo(document, metaHeader.author));
    EXPECT_EQ(metaHeader.author.value(), "");
}
