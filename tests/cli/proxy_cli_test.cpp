// quillon-cli through the proxy set in the data folder.

#include <gtest/gtest.h>
#include <httplib.h>

#include <nlohmann/json.hpp>

#include "cli/cli_support.h"
#include "support/local_http_server.h"
#include "support/proxy_server.h"
#include "support/temp_data_folder.h"

namespace {

constexpr char kFeed[] =
    "<rss><channel><title>t</title><item><title>one</title></item></channel></rss>";

std::string ManualProxy(int port) {
    return "proxy.mode = manual\nproxy.type = http\nproxy.host = 127.0.0.1\nproxy.port = " +
           std::to_string(port) + "\n";
}

}  // namespace

// Every fetch goes through the proxy; one that cannot be reached is the proxy's failure, in
// the summary and in each source's status.
TEST(CliProxy, FetchesGoThroughTheProxyOfTheSettingsAndItsFailureIsNamed) {
    auto proxy = ProxyServer::StartTinyproxy();
    if (!proxy) {
        GTEST_SKIP() << "tinyproxy is not installed";
    }
    LocalHttpServer server;
    server.Serve("/feed", kFeed);
    server.Handle("/ns", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(kFeed, "application/rss+xml");
    });
    TempDataFolder folder;
    folder.CreateDatabase();
    folder.CopySeedSettings();
    folder.WriteFile("data/settings.conf", ManualProxy(proxy->Port()));
    const ProcessResult read = Cli({"read", server.Url("/feed")}, folder.Path());
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_NE(proxy->Log().find("GET " + server.Url("/feed")), std::string::npos) << proxy->Log();

    folder.WriteFile("data/services.conf", "search.baidu = " + server.BaseUrl() + "\n");
    folder.WriteFile("document/keywordlist.xml",
                     "<?xml version=\"1.0\" encoding=\"utf-8\"?><KEYWORDTREE><ID>0</ID>"
                     "<NODETYPE>FOLDER</NODETYPE><TEXT>我的频道</TEXT>"
                     "<KEYWORDNODE><ID>1</ID><NODETYPE>KEY</NODETYPE><TEXT>足球</TEXT>"
                     "</KEYWORDNODE></KEYWORDTREE>");
    folder.WriteFile("data/settings.conf", ManualProxy(ProxyServer::FreePort()));
    const ProcessResult run = Cli({"update", "--no-pauses"}, folder.Path());
    EXPECT_EQ(run.exitCode, 1);  // every fetch failed
    EXPECT_NE(run.err.find("代理服务器无法连接"), std::string::npos) << run.err;
    EXPECT_EQ(server.HitCount("/ns"), 0);
    const ProcessResult status = Cli({"status", "--json"}, folder.Path());
    ASSERT_EQ(status.exitCode, 0) << status.err;
    const nlohmann::json sources = nlohmann::json::parse(status.out);
    ASSERT_FALSE(sources.empty());
    for (const nlohmann::json& source : sources) {
        EXPECT_EQ(source["outcome"], "proxy-error") << source.dump();
    }
}
