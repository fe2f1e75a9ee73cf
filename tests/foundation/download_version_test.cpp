#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "foundation/curl_handle.h"
#include "foundation/download.h"
#include "foundation/version.h"
#include "foundation_test_support.h"

namespace {

TEST(VersionData, ParsesNumbersAndJson) {
    const struct {
        const char* text;
        VersionData version;
    } cases[] = {{"1.4.2", {1, 4, 2}},
                 {"1-4-2", {1, 4, 2}},
                 {"", {0, 0, 0}},
                 {R"({"major": 1, "minor": 4, "patch": 2})", {1, 4, 2}},
                 {"v10.20.30 beta", {10, 20, 30}}};
    for (const auto& c : cases) EXPECT_EQ(VersionData(c.text), c.version) << c.text;
    EXPECT_EQ(VersionData(2, 0, 1).toString(), "2.0.1");
    EXPECT_EQ(gf_versionString(VersionData("3.1.4")), "3.1.4");
    EXPECT_LT(VersionData(1, 4, 2), VersionData(1, 10, 0));
}

TEST(VersionData, UnparsableTextLogsOnceAndStaysZero) {
    const struct {
        const char* text;
        const char* logged;
    } cases[] = {{"garbage", "VersionData exception: "},
                 {R"({"major": "1", "minor": 4, "patch": 2})", "VersionData exception: "},
                 {"99999999999.1.1", "VersionData exception: parse error in version string"}};
    for (const auto& c : cases) {
        CapturedLog log;
        EXPECT_EQ(VersionData(c.text), VersionData{}) << c.text;
        const std::string text = log.text();
        EXPECT_EQ(text.rfind(c.logged, 0), 0u) << text;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    }
    {
        // The members read before the error keep their values.
        CapturedLog log;
        EXPECT_EQ(VersionData(R"({"major": 1, "minor": 4})"), VersionData(1, 4, 0));
        EXPECT_EQ(log.text().rfind("VersionData exception: ", 0), 0u);
    }
    CapturedLog log;
    EXPECT_EQ(VersionData("[1, 2, 3]"), VersionData{});  // JSON, but not an object: nothing to read, no error
    EXPECT_EQ(log.text(), "");
}

// A download server on a free loopback port.
class LocalServer {
public:
    LocalServer() {
        server_.Get("/version.txt",
                    [](const httplib::Request&, httplib::Response& r) { r.set_content("1.4.2\n", "text/plain"); });
        server_.Get("/empty.txt",
                    [](const httplib::Request&, httplib::Response& r) { r.set_content("", "text/plain"); });
        server_.Get("/moved", [](const httplib::Request&, httplib::Response& r) { r.set_redirect("/version.txt"); });
        server_.Get("/missing", [](const httplib::Request&, httplib::Response& r) {
            r.status = 404;
            r.set_content("not here", "text/plain");
        });
        server_.Get("/nocontent", [](const httplib::Request&, httplib::Response& r) { r.status = 304; });
        server_.Get("/agent", [](const httplib::Request& q, httplib::Response& r) {
            r.set_content(q.get_header_value("User-Agent"), "text/plain");
        });
        server_.set_keep_alive_max_count(1);  // no idle connection holds up the stop
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        for (int i = 0; i < 5000 && !server_.is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~LocalServer() {
        server_.stop();
        thread_.join();
    }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

class DownloadTest : public ::testing::Test {
protected:
    CurlHandle handle_;
    CURL* curl_ = handle_.get();
    TempFolder folder_;
};

TEST_F(DownloadTest, HttpStatusDecidesAndRedirectsAreFollowed) {
    LocalServer server;
    const fs::path target = folder_ / "out.txt";
    EXPECT_TRUE(gf_downloadToFile(curl_, server.url("/version.txt"), target, true));
    EXPECT_EQ(readWholeFile(target), "1.4.2\n");
    EXPECT_TRUE(gf_downloadToFile(curl_, server.url("/moved"), target, false));
    EXPECT_EQ(readWholeFile(target), "1.4.2\n");
    EXPECT_TRUE(gf_downloadToFile(curl_, server.url("/agent"), target, true));
    EXPECT_EQ(readWholeFile(target), "Vexa");
    EXPECT_FALSE(gf_downloadToFile(curl_, server.url("/missing"), target, true));
    EXPECT_FALSE(gf_downloadToFile(curl_, server.url("/nocontent"), target, true));  // outside 2xx
    EXPECT_FALSE(gf_downloadToFile(nullptr, server.url("/version.txt"), target, true));
}

TEST_F(DownloadTest, RefusedConnectionIsAFailure) {
    // A port that was free a moment ago and has no listener now.
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    const int port = ntohs(address.sin_port);
    ::close(probe);
    EXPECT_FALSE(gf_downloadToFile(curl_, "http://127.0.0.1:" + std::to_string(port) + "/x", folder_ / "x", true));
}

TEST_F(DownloadTest, FileAddressesAndUnwritableTargets) {
    CapturedLog log;
    writeWholeFile(folder_ / "source.bin", std::string("\0\1\2zip", 6));
    const std::string source = "file://" + (folder_ / "source.bin").string();
    EXPECT_TRUE(gf_downloadToFile(curl_, source, folder_ / "copy.bin", true));
    EXPECT_EQ(readWholeFile(folder_ / "copy.bin"), std::string("\0\1\2zip", 6));
    EXPECT_FALSE(gf_downloadToFile(curl_, "file://" + (folder_ / "none").string(), folder_ / "copy2.bin", true));
    EXPECT_EQ(log.text(), "");

    const fs::path unwritable = folder_ / "no" / "out.bin";
    EXPECT_FALSE(gf_downloadToFile(curl_, source, unwritable, true));
    EXPECT_EQ(log.text(), "could not open output file: " + unwritable.string() + "\n");
}

TEST_F(DownloadTest, VersionTextReadsTheFirstLineAndRemovesTheFile) {
    InTempWorkingFolder working;
    LocalServer server;
    CapturedLog log;
    EXPECT_EQ(gf_downloadText(curl_, server.url("/version.txt")), VersionData(1, 4, 2));
    EXPECT_FALSE(fs::exists("version.json"));
    EXPECT_EQ(gf_downloadText(curl_, server.url("/empty.txt")), VersionData{});
    EXPECT_EQ(log.text(), "");

    writeWholeFile(working.path() / "v.json", "\n2.0.0\n");
    EXPECT_EQ(gf_downloadText(curl_, "file://" + (working.path() / "v.json").string()),
              VersionData{});  // empty first line
    EXPECT_EQ(log.text(), "");

    const std::string missing = server.url("/missing");
    EXPECT_EQ(gf_downloadText(curl_, missing), VersionData{});
    EXPECT_EQ(log.text(), "===> downloading \"" + missing + "\" failed\n");
    EXPECT_FALSE(fs::exists("version.json"));
}

}  // namespace
