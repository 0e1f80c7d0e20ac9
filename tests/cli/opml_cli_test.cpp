// Runs the built quillon-cli in a temporary data folder.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "feeds/feed_store.h"
#include "feeds/opml_document.h"
#include "store/statements.h"
#include "support/local_http_server.h"
#include "support/temp_data_folder.h"

namespace {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs `quillon-cli ARGS` on `folder`, with that folder as the current directory. The
// arguments are quoted; none of them may hold a single quote.
CliRun RunCli(const TempDataFolder& folder, const std::string& args) {
    const std::string command = "cd '" + folder.Path() + "' && '" QUILLON_CLI_PATH "' --data '" +
                                folder.Path() + "' " + args + " >'" + folder.File("cli.out") +
                                "' 2>'" + folder.File("cli.err") + "'";
    const int raw = std::system(command.c_str());
    CliRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = folder.ReadFile("cli.out");
    run.err = folder.ReadFile("cli.err");
    return run;
}

}  // namespace

TEST(CliOpml, PrintsTheOutlinesAsJson) {
    TempDataFolder folder;
    LocalHttpServer server;
    server.Serve("/list.opml", ReadTestData("opml/wrapped.opml"), "text/xml");
    for (const std::string& source :
         {server.Url("/list.opml"), TestDataPath("opml/wrapped.opml")}) {
        const CliRun run = RunCli(folder, "opml '" + source + "'");
        ASSERT_EQ(run.status, 0) << run.err;
        const nlohmann::json outlines = nlohmann::json::parse(run.out);
        ASSERT_EQ(outlines.size(), 3u) << run.out;
        EXPECT_EQ(outlines[1], (nlohmann::json{{"text", "新浪新闻"},
                                               {"title", "新浪新闻"},
                                               {"xmlUrl", "http://rss.example.test/新闻.xml"},
                                               {"htmlUrl", "http://news.example.test/"},
                                               {"path", nlohmann::json::array()},
                                               {"kind", "feed"}}));
        EXPECT_EQ(outlines[2]["title"], "Ben & Jerry's");
        // Keys in field order and Chinese as it is, not escaped.
        const std::size_t text = run.out.find("\"text\"");
        const std::size_t title = run.out.find("\"title\"");
        const std::size_t xmlUrl = run.out.find("\"xmlUrl\"");
        const std::size_t htmlUrl = run.out.find("\"htmlUrl\"");
        EXPECT_LT(text, title);
        EXPECT_LT(title, xmlUrl);
        EXPECT_LT(xmlUrl, htmlUrl);
        EXPECT_NE(run.out.find("新浪新闻"), std::string::npos);
    }
}

TEST(CliOpml, EachOutlineSaysTheFoldersItLiesIn) {
    TempDataFolder folder;
    const CliRun run = RunCli(folder, "opml '" + TestDataPath("opml/categories.opml") + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json outlines = nlohmann::json::parse(run.out);
    ASSERT_EQ(outlines.size(), 15u) << run.out;
    EXPECT_EQ(outlines[6]["kind"], "folder");
    EXPECT_EQ(outlines[7]["text"], "SQLite 新闻");
    EXPECT_EQ(outlines[7]["path"], (nlohmann::json{"科技", "开发", "数据库"}));
    EXPECT_EQ(outlines[11]["kind"], "skipped");
}

TEST(CliOpml, FailuresGoToStderrWithTheirStatus) {
    TempDataFolder folder;
    LocalHttpServer server;
    CliRun run = RunCli(folder, "opml '" + server.Url("/missing.opml") + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "[]\n");
    EXPECT_NE(run.err.find("missing.opml"), std::string::npos) << run.err;

    run = RunCli(folder, "opml");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("usage"), std::string::npos);

    run = RunCli(folder, "export");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("usage"), std::string::npos);
}

TEST(CliExport, WritesTheSubscriptionsOfTheDataFolder) {
    TempDataFolder folder;
    folder.CreateDatabase();
    folder.WriteFile("data/services.conf", "site.publisher = http://publisher.example.test\n");
    {
        CFeedStore store(folder.Path());
        ASSERT_TRUE(store.Open());
        ASSERT_EQ(store.Execute(SqlInsertOpml("足球", "http://a.example.test/rss", "")), 1);
        ASSERT_EQ(store.Execute(SqlInsertOpml("it's", "http://b.example.test/?x=1&y=2", "h")), 1);
    }
    CliRun run = RunCli(folder, "export feeds");
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(folder.Exists("feeds.opml"));
    CXmlDocument file;
    ASSERT_TRUE(file.loadFile(folder.File("feeds.opml")));
    EXPECT_EQ(file.selectSingleNode("opml/head/description").text(),
              "http://publisher.example.test");
    EXPECT_EQ(file.selectSingleNode("opml/head/ownerName").text(), kOpmlOwnerName);
    COpmlDocument reader;
    ASSERT_TRUE(reader.ReadOutlines(folder.File("feeds.opml"), AddressOrigin::kTypedByUser));
    // The data folder's tree goes out with the feeds, each feed under its channel's name.
    std::vector<std::string> feeds;
    for (const COpmlOutline& outline : reader.ReadList()) {
        if (outline.kind == COpmlOutline::kFeed) {
            feeds.push_back(std::string(outline.title) + " " + outline.xmlUrl);
        }
    }
    std::sort(feeds.begin(), feeds.end());
    EXPECT_EQ(feeds, (std::vector<std::string>{"it's http://b.example.test/?x=1&y=2",
                                               "足球 http://a.example.test/rss"}));
    EXPECT_NE(run.err.find(" folders"), std::string::npos) << run.err;

    // A name that already ends in .opml is used as it is.
    run = RunCli(folder, "export again.OPML");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(folder.Exists("again.OPML"));
    EXPECT_FALSE(folder.Exists("again.OPML.opml"));
}

TEST(CliExport, NeedsTheDatabase) {
    TempDataFolder folder;
    folder.WriteFile("data/data.dat", "");
    const CliRun run = RunCli(folder, "export feeds");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("database"), std::string::npos) << run.err;
    EXPECT_FALSE(folder.Exists("feeds.opml"));
}
