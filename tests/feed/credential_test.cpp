#include <gtest/gtest.h>

#include <fstream>

#include "feed/credential.h"
#include "tests/feed/feed_fixture.h"

namespace {

class Credential : public feedtest::FeedTest {
protected:
    std::filesystem::path appFile() const { return sandbox->appData() / "InsideSystems" / "RealTraffic.lic"; }
    static void write(const std::filesystem::path& path, const std::string& text) {
        std::filesystem::create_directories(path.parent_path().empty() ? "." : path.parent_path());
        std::ofstream(path) << text;
    }
    static std::string licence(const std::string& value) { return R"({"License":")" + value + R"(","Name":"x"})"; }
};

}  // namespace

TEST_F(Credential, SearchTable) {
    struct Case {
        const char* name;
        const char* app;    // nullptr: no file
        const char* local;  // nullptr: no file
        int error;          // 0: found
        const char* credential;
        const char* logText;
    };
    const std::string real = licence("ABCD-1234-SECRET");
    const std::string other = licence("WXYZ-9999-OTHER");
    const std::string placeholder = licence("fill in your license here");
    const std::vector<Case> cases = {
        {"only local, placeholder", nullptr, placeholder.c_str(), 899, "fill in your license here",
         "No valid RT license in your file: \"RealTraffic.lic\", license: \"fill in your license here\""},
        {"only local, real", nullptr, real.c_str(), 0, "ABCD-1234-SECRET",
         "Your RealTraffic license was taken from \"RealTraffic.lic\""},
        {"both, local placeholder", real.c_str(), placeholder.c_str(), 0, "ABCD-1234-SECRET",
         "Your RealTraffic license was taken from"},
        {"both the same", real.c_str(), real.c_str(), 0, "ABCD-1234-SECRET", "InsideSystems"},
        {"app placeholder, local real", placeholder.c_str(), real.c_str(), 900, "", "Two different RT licenses found:"},
        {"two different", real.c_str(), other.c_str(), 900, "", "...THER"},
        {"app not JSON", "{nope", nullptr, 901, "", nullptr},
        {"only a Name member", R"({"Name":"x"})", nullptr, 0, "?", "Your RealTraffic license was taken from"},
        {"License not a string", R"({"License":42})", nullptr, 901, "", nullptr},
        {"no file at all", nullptr, nullptr, 899, "", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(appFile());
        std::filesystem::remove("RealTraffic.lic");
        if (c.app) write(appFile(), c.app);
        if (c.local) write("RealTraffic.lic", c.local);
        int error = 0;
        std::string text;
        try {
            gf_findRtCredential();
        } catch (const ovk::UserErrorException& e) {
            text = e.what();
            error = std::stoi(text.substr(0, 3));
        }
        EXPECT_EQ(error, c.error) << text;
        if (c.error == 0) {
            EXPECT_EQ(rtCredential, c.credential);
        }
        if (c.error == 901) {
            EXPECT_NE(text.find(appFile().string()), std::string::npos);
        }
        if (c.error == 899) {
            EXPECT_NE(text.find("no license usage of Vexa has been discontinued"), std::string::npos);
        }
        if (c.logText) {
            EXPECT_TRUE(logHas(c.logText));
        }
    }
    EXPECT_FALSE(logHas("ABCD-1234-SECRET")) << "the credential is never logged in full";
    EXPECT_FALSE(logHas("WXYZ-9999-OTHER"));
}

TEST_F(Credential, CreatedFileHoldsThePlaceholder) {
    gf_createRtCredentialFile();
    EXPECT_EQ(lf_readRtCredential("RealTraffic.lic"), "fill in your license here");
    std::ifstream in("RealTraffic.lic");
    const auto file = nlohmann::json::parse(in);
    EXPECT_EQ(file, (nlohmann::json{{"License", "fill in your license here"}, {"Name", "not relevant"}}));
    EXPECT_TRUE(logHas("A RealTraffic license file \"RealTraffic.lic\" created to fill in your license"));
    EXPECT_FALSE(std::filesystem::exists("RealTraffic.lic.tmp"));
    EXPECT_EQ(lf_readRtCredential("missing.lic"), "");
}

TEST(CredentialMask, ShowsAtMostTheLastFourCharacters) {
    EXPECT_EQ(gf_maskedCredential("ABCD-1234-SECRET"), "...CRET");
    EXPECT_EQ(gf_maskedCredential("ABC"), "***");
    EXPECT_EQ(gf_maskedCredential(""), "");
    EXPECT_EQ(gf_maskedCredential("?"), "?");
}
