#include <gtest/gtest.h>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "support/local_http_server.h"
#include "support/run_process.h"
#include "support/temp_data_folder.h"

namespace {

// Runs quillon-cli on the data folder `folder`, started in that folder.
ProcessResult Cli(const std::vector<std::string>& args, const std::string& folder) {
    std::vector<std::string> words{"--data", folder};
    words.insert(words.end(), args.begin(), args.end());
    return RunProcess(QUILLON_CLI_PATH, words, folder);
}

}  // namespace

TEST(CliRead, PrintsEveryFieldOfTheChannelAndItsItemsAsJson) {
    LocalHttpServer server;
    server.Serve("/feed", ReadTestData("feeds/basic.xml"));
    TempDataFolder folder;
    const ProcessResult run = Cli({"read", server.Url("/feed")}, folder.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto json = nlohmann::ordered_json::parse(run.out);
    EXPECT_EQ(json["itemCount"], 2);
    std::vector<std::string> channelKeys;
    for (const auto& [key, value] : json["channel"].items()) {
        channelKeys.push_back(key);
    }
    EXPECT_EQ(channelKeys,
              (std::vector<std::string>{"title", "link", "description", "language", "copyright",
                                        "managingEditor", "webMaster", "pubDate", "lastBuildDate",
                                        "category", "generator", "docs", "image", "url", "cloud",
                                        "ttl", "rating", "skipHours", "skipDays"}));
    EXPECT_EQ(json["channel"]["title"], "新闻搜索：足球");
    EXPECT_EQ(json["channel"]["cloud"], "");  // empty fields are printed too
    ASSERT_EQ(json["items"].size(), 2u);
    std::vector<std::string> itemKeys;
    for (const auto& [key, value] : json["items"][0].items()) {
        itemKeys.push_back(key);
    }
    EXPECT_EQ(itemKeys,
              (std::vector<std::string>{"title", "link", "description", "author", "category",
                                        "comments", "enclosure", "guid", "pubDate", "source"}));
    EXPECT_EQ(json["items"][1]["title"], "Second item's title");
}

TEST(CliRead, AFeedWithoutItemsSaysWhyOnStderr) {
    LocalHttpServer server;
    server.Serve("/atom", ReadTestData("feeds/atom.xml"));
    TempDataFolder folder;
    for (const std::string path : {"/atom", "/missing"}) {
        const ProcessResult run = Cli({"read", server.Url(path)}, folder.Path());
        EXPECT_EQ(run.exitCode, 1) << path;
        EXPECT_EQ(nlohmann::json::parse(run.out)["itemCount"], 0) << path;
        EXPECT_NE(run.err.find("no items read"), std::string::npos) << run.err;
    }
    EXPECT_EQ(Cli({"read"}, folder.Path()).exitCode, 2);
}

TEST(CliUpdate, WithAnUnusableDatabaseItFailsWithAClearMessage) {
    TempDataFolder folder;
    folder.WriteFile("data/data.dat", "not a database");
    const ProcessResult run = Cli({"update", "--no-pauses"}, folder.Path());
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.err.find("the database"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("data/data.dat"), std::string::npos) << run.err;
    EXPECT_EQ(folder.ReadFile("data/data.dat"), "not a database");
}

TEST(CliUpdate, FetchesTheTreesChannelsAndReportsWhatItStored) {
    LocalHttpServer server;
    TempDataFolder folder;
    folder.CreateDatabase();
    folder.CopySeed("sysdata.dat", "data/sysdata.dat");
    folder.WriteFile("data/services.conf", "search.baidu = " + server.BaseUrl() + "\n");
    folder.WriteFile("document/keywordlist.xml",
                     "<?xml version=\"1.0\" encoding=\"utf-8\"?><KEYWORDTREE><ID>0</ID>"
                     "<NODETYPE>FOLDER</NODETYPE><TEXT>我的频道</TEXT>"
                     "<KEYWORDNODE><ID>1</ID><NODETYPE>FOLDER</NODETYPE><TEXT>体育</TEXT>"
                     "<KEYWORDNODE><ID>2</ID><NODETYPE>KEY</NODETYPE><TEXT>足球</TEXT>"
                     "</KEYWORDNODE></KEYWORDNODE>"
                     "<KEYWORDNODE><ID>3</ID><NODETYPE>KEY</NODETYPE><TEXT>silent</TEXT>"
                     "</KEYWORDNODE></KEYWORDTREE>");
    server.Handle("/ns", [](const httplib::Request& request, httplib::Response& response) {
        if (request.get_param_value("word").find("silent") != std::string::npos) {
            response.status = 404;
            return;
        }
        response.set_content(
            "<rss><channel><title>t</title><item><title>one</title></item>"
            "<item><title>two</title></item></channel></rss>",
            "application/rss+xml");
    });
    const ProcessResult run = Cli({"update", "--no-pauses"}, folder.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // Five pages of the default settings: the items arrive five times and are stored once.
    EXPECT_EQ(run.out, "足球\t5 feeds\t2 new items\nsilent\t0 feeds\t0 new items\n");
    EXPECT_EQ(server.HitCount("/ns"), 10);
}
