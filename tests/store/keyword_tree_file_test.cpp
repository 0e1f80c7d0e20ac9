#include "store/keyword_tree_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/clock.h"
#include "support/temp_data_folder.h"
#include "xml/xml_document.h"

namespace {

using Strings = std::vector<std::string>;

constexpr char kTreeFile[] = "document/keywordlist.xml";

struct Loaded {
    CKeywordNode node;
    int resolvedParent;
};

struct LoadResult {
    std::string label;
    std::vector<Loaded> nodes;
};

LoadResult LoadAll(CKeywordTreeFile& tree) {
    LoadResult result;
    result.label = tree.Load([&](const CKeywordNode& node, int parentId) {
        result.nodes.push_back({node, parentId});
    });
    return result;
}

// The tree as the file holds it now, read back by a fresh loader: names in display order,
// a folder's children in braces ("Sports{football,tennis},weather").
std::string Outline(const std::string& path) {
    CKeywordTreeFile tree(path);
    std::map<int, std::vector<int>> children;
    std::map<int, std::string> names;
    tree.Load([&](const CKeywordNode& node, int parentId) {
        children[parentId].push_back(node.id);
        names[node.id] = node.name;
    });
    const std::function<std::string(int)> render = [&](int id) {
        std::string out;
        for (const int child : children[id]) {
            out += (out.empty() ? "" : ",") + names[child];
            if (!children[child].empty()) {
                out += "{" + render(child) + "}";
            }
        }
        return out;
    };
    return render(0);
}

std::string Tree(std::string_view nodes) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><KEYWORDTREE><ID>0</ID>"
           "<NODETYPE>FOLDER</NODETYPE><TEXT>root</TEXT>" +
           std::string(nodes) + "</KEYWORDTREE>";
}

std::string Node(int id, std::string_view type, std::string_view name,
                 std::string_view children = "") {
    return "<KEYWORDNODE><ID>" + std::to_string(id) + "</ID><NODETYPE>" + std::string(type) +
           "</NODETYPE><TEXT>" + std::string(name) + "</TEXT>" + std::string(children) +
           "</KEYWORDNODE>";
}

class TreeFile : public ::testing::Test {
protected:
    std::string Path() const { return m_folder.File(kTreeFile); }
    void Write(std::string_view contents) const { m_folder.WriteFile(kTreeFile, contents); }
    std::string Contents() const { return m_folder.ReadFile(kTreeFile); }
    std::string Outline() const { return ::Outline(Path()); }

    TempDataFolder m_folder;
};

}  // namespace

TEST_F(TreeFile, LoadsEveryNodeInDocumentOrderUnderItsParent) {
    m_folder.WriteFile(kTreeFile, ReadTestData("tree/sample.xml"));
    CKeywordTreeFile tree(Path());
    const LoadResult loaded = LoadAll(tree);
    EXPECT_EQ(loaded.label, "我的频道");

    struct Expected {
        int id;
        int parent;
        int type;
        std::string name;
    };
    const std::vector<Expected> expected = {
        {1, 0, NODE_FOLDER, "体育"},        {3, 1, NODE_KEY, "足球"},
        {4, 1, NODE_KEY, "tennis"},         {8, 1, NODE_FOLDER, "欧洲"},
        {9, 8, NODE_KEY, "Premier League"}, {2, 0, NODE_FOLDER, "科技"},
        {5, 2, NODE_KEY, "人工智能"},       {7, 0, NODE_KEY, "天气"},
    };
    ASSERT_EQ(loaded.nodes.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const CKeywordNode& node = loaded.nodes[i].node;
        EXPECT_EQ(node.id, expected[i].id) << i;
        EXPECT_EQ(node.parentId, expected[i].parent) << i;
        EXPECT_EQ(loaded.nodes[i].resolvedParent, expected[i].parent) << i;
        EXPECT_EQ(node.type, expected[i].type) << i;
        EXPECT_EQ(node.name, expected[i].name) << i;
        EXPECT_EQ(node.item, -1);
        EXPECT_EQ(node.recentCount, 0);
        EXPECT_EQ(node.spare, -1);
    }
    EXPECT_EQ(ReadChannelKeywords(Path()),
              (Strings{"足球", "tennis", "Premier League", "人工智能", "天气"}));
    EXPECT_TRUE(ReadChannelKeywords(m_folder.File("document/none.xml")).empty());
}

TEST_F(TreeFile, HandEditedFilesStillLoadAndEditSafely) {
    m_folder.WriteFile(kTreeFile, ReadTestData("tree/hand_edited.xml"));
    CKeywordTreeFile tree(Path());
    const LoadResult loaded = LoadAll(tree);
    EXPECT_EQ(loaded.label, "Mine");
    ASSERT_EQ(loaded.nodes.size(), 5u);
    // A node whose recorded parent (42, a wrapper that is no node) is not on the ancestor
    // path loads under the root; "key" in any case is a channel, an unknown type a folder.
    EXPECT_EQ(loaded.nodes[1].node.id, 3);
    EXPECT_EQ(loaded.nodes[1].resolvedParent, 1);
    EXPECT_EQ(loaded.nodes[1].node.type, NODE_FOLDER);
    EXPECT_EQ(loaded.nodes[2].node.id, 2);
    EXPECT_EQ(loaded.nodes[2].node.parentId, 42);
    EXPECT_EQ(loaded.nodes[2].resolvedParent, 0);
    EXPECT_EQ(loaded.nodes[2].node.type, NODE_KEY);
    // 200 Chinese characters take 400 code-page bytes: the name is kept whole.
    EXPECT_EQ(std::string(loaded.nodes[4].node.name), [] {
        std::string cut;
        for (int i = 0; i < 200; ++i) {
            cut += "中";
        }
        return cut;
    }());

    // The root lacked its ID and type: it still takes new nodes as ID 0, a folder.
    EXPECT_EQ(tree.AddNode(NODE_KEY, 0, "added"), 6);
    // Node 4 has no TEXT, which shifts the whole-document TEXT list; renaming node 5 must
    // still rename node 5, and renaming node 4 is refused rather than landing on node 5.
    EXPECT_FALSE(tree.RenameNode(4, "x"));
    EXPECT_TRUE(tree.RenameNode(5, "renamed"));
    EXPECT_EQ(Outline(), "News{unknown type},stray,,renamed,added");
}

// The tree is read by streaming its bytes, except for a file with a document type declaration,
// which is parsed as a document. Both readings of the same odd files must give the same nodes.
TEST_F(TreeFile, StreamedAndDocumentReadingsGiveTheSameNodes) {
    const std::vector<std::string> files = {
        ReadTestData("tree/sample.xml"),
        ReadTestData("tree/hand_edited.xml"),
        ReadTestData("tree/gb2312.xml"),
        // Blank text beside elements in a name is dropped, blank text alone is kept; CDATA,
        // comments and character references take part in a name.
        Tree("<KEYWORDNODE SEARCHNAME='0'><ID> 7x</ID><NODETYPE> key</NODETYPE>"
             "<TEXT> <b>bold</b> <!-- c -->tail &amp; <![CDATA[ ]]></TEXT></KEYWORDNODE>"
             "<KEYWORDNODE><ID>8</ID><NODETYPE>KEY</NODETYPE><TEXT>   </TEXT></KEYWORDNODE>"),
        // A node inside a name, fields after the children, a second field of a name, a
        // prefixed element that is no node, an attribute in another namespace.
        "<?xml version='1.0'?><KEYWORDTREE xmlns:q='urn:q'><ID>9</ID><TEXT>a<?pi x?>b</TEXT>"
        "<KEYWORDNODE q:SEARCHNAME='0'><KEYWORDNODE><ID>3</ID><TEXT>in</TEXT></KEYWORDNODE>"
        "<TEXT>x<KEYWORDNODE><ID>4</ID><TEXT>y</TEXT></KEYWORDNODE>z</TEXT><ID>2</ID>"
        "<ID>5</ID><TEXT>second</TEXT><q:KEYWORDNODE><ID>6</ID></q:KEYWORDNODE>"
        "</KEYWORDNODE></KEYWORDTREE>",
        // A root without a label, wrappers with and without an ID.
        "<KEYWORDTREE><W><ID>11</ID><KEYWORDNODE><ID>12</ID><NODETYPE>KEY</NODETYPE>"
        "<TEXT>w</TEXT></KEYWORDNODE></W><V><KEYWORDNODE><ID>13</ID></KEYWORDNODE></V>"
        "</KEYWORDTREE>",
    };
    const auto withDoctype = [](std::string file) {
        const std::size_t declared = file.starts_with("<?xml") ? file.find("?>") + 2 : 0;
        return file.insert(declared, "<!DOCTYPE KEYWORDTREE>");
    };
    const auto describe = [](const LoadResult& loaded) {
        std::string out = loaded.label;
        for (const Loaded& each : loaded.nodes) {
            const CKeywordNode& node = each.node;
            out += "|" + std::to_string(node.id) + "<" + std::to_string(node.parentId) + "/" +
                   std::to_string(each.resolvedParent) + ":" + std::to_string(node.type) +
                   (node.searchName ? "s" : "") + "[" + node.name + "]";
        }
        return out;
    };
    for (const std::string& file : files) {
        Write(file);
        CKeywordTreeFile streamed(Path());
        const std::string fromStream = describe(LoadAll(streamed));
        Write(withDoctype(file));
        CKeywordTreeFile parsed(Path());
        EXPECT_EQ(fromStream, describe(LoadAll(parsed))) << file;
        EXPECT_FALSE(streamed.Damage()) << file;
        EXPECT_FALSE(parsed.Damage()) << file;
    }
    Write(files[3]);
    CKeywordTreeFile tree(Path());
    EXPECT_EQ(describe(LoadAll(tree)), "root|7<0/0:0[boldtail &  ]|8<0/0:1s[   ]");
    Write(files[4]);
    EXPECT_EQ(describe(LoadAll(tree)), "ab|2<0/0:0s[x4yz]|3<2/2:0s[in]|4<0/0:0s[y]");
}

TEST_F(TreeFile, AMissingFileStartsAsTheRootAloneAndTheFirstChangeCreatesIt) {
    TempDataFolder folder;
    // The tree's own folder is missing too.
    const std::string path = folder.File("start/document/keywordlist.xml");
    CKeywordTreeFile tree(path);
    const LoadResult loaded = LoadAll(tree);
    EXPECT_EQ(loaded.label, "我的频道");
    EXPECT_TRUE(loaded.nodes.empty());
    EXPECT_FALSE(tree.Damage().has_value());
    EXPECT_EQ(tree.AddNode(NODE_FOLDER, 0, "first"), 1);
    EXPECT_EQ(::Outline(path), "first");
    CKeywordTreeFile again(path);
    EXPECT_EQ(LoadAll(again).label, "我的频道");
}

// A tree file that exists but cannot be read is the user's whole tree: it is kept aside,
// under a name that says so, before the first change writes a new one.
TEST_F(TreeFile, ADamagedFileIsKeptAsideBeforeAnythingIsWritten) {
    const ScopedFixedClock clock(std::chrono::system_clock::now());
    const CalendarTime now = LocalNow();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, ".damaged-%04d%02d%02d-%02d%02d%02d", now.year, now.month,
                  now.day, now.hour, now.minute, now.second);
    const std::string whole = ReadTestData("tree/sample.xml");
    const struct {
        const char* name;
        std::string contents;
        const char* reason;
    } kCases[] = {
        {"truncated", whole.substr(0, whole.size() / 2), "not well-formed XML"},
        {"cut in a character", ReadTestData("tree/damaged.xml"), "not well-formed XML"},
        {"empty", "", "not well-formed XML"},
        {"declaration only", "<?xml version=\"1.0\"?>", "not well-formed XML"},
        {"not XML", "KEYWORDTREE 0 FOLDER 我的频道", "not well-formed XML"},
        {"another root", "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel/></rss>",
         "its document element is <rss>"},
        {"over the size limit", Tree(std::string(CKeywordTreeFile::kMaxFileBytes, ' ')),
         "larger than"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        TempDataFolder folder;
        folder.WriteFile(kTreeFile, c.contents);
        CKeywordTreeFile tree(folder.File(kTreeFile));
        const LoadResult loaded = LoadAll(tree);
        EXPECT_EQ(loaded.label, "我的频道");
        EXPECT_TRUE(loaded.nodes.empty());
        ASSERT_TRUE(tree.Damage().has_value());
        EXPECT_NE(tree.Damage()->reason.find(c.reason), std::string::npos) << tree.Damage()->reason;
        EXPECT_EQ(folder.ReadFile(kTreeFile), c.contents);  // nothing written yet

        EXPECT_EQ(tree.AddNode(NODE_KEY, 0, "first"), 1);
        const std::string aside = std::string(kTreeFile) + stamp;
        EXPECT_EQ(tree.Damage()->asidePath, folder.File(aside));
        EXPECT_EQ(folder.ReadFile(aside), c.contents);
        EXPECT_EQ(::Outline(folder.File(kTreeFile)), "first");
    }
}

TEST_F(TreeFile, AnUnreadableFileIsKeptAsideUnderANameNotYetTaken) {
    const ScopedFixedClock clock(std::chrono::system_clock::now());
    // A folder where the file should be cannot be read, whoever runs the test.
    m_folder.WriteFile(std::string(kTreeFile) + "/inside", "x");
    CKeywordTreeFile first(Path());
    LoadAll(first);
    ASSERT_TRUE(first.Damage().has_value());
    EXPECT_NE(first.Damage()->reason.find("not a regular file"), std::string::npos);
    ASSERT_TRUE(first.SetDamagedFileAside());
    const std::string firstAside = first.Damage()->asidePath;
    EXPECT_TRUE(firstAside.starts_with(Path() + ".damaged-")) << firstAside;
    EXPECT_TRUE(std::filesystem::exists(firstAside + "/inside"));
    EXPECT_FALSE(m_folder.Exists(kTreeFile));

    // Damaged again within the same second: what was kept aside first stays as it was.
    Write("<KEYWORDTREE>");
    CKeywordTreeFile second(Path());
    LoadAll(second);
    EXPECT_TRUE(second.Save());
    EXPECT_EQ(second.Damage()->asidePath, firstAside + "-2");
    EXPECT_TRUE(std::filesystem::exists(firstAside + "/inside"));
    EXPECT_EQ(std::filesystem::file_size(second.Damage()->asidePath), 13u);
    EXPECT_EQ(Outline(), "");
}

TEST_F(TreeFile, NewIdsFillTheFirstGap) {
    Write(Tree(""));
    CKeywordTreeFile empty(Path());
    LoadAll(empty);
    EXPECT_EQ(empty.AddNode(NODE_KEY, 0, "a"), 1);
    EXPECT_EQ(empty.AddNode(NODE_KEY, 0, "b"), 2);

    Write(Tree(Node(1, "FOLDER", "f", Node(4, "KEY", "d")) + Node(2, "KEY", "b")));
    CKeywordTreeFile gap(Path());
    LoadAll(gap);
    EXPECT_EQ(gap.AddNode(NODE_KEY, 1, "c"), 3);
    EXPECT_EQ(gap.AddNode(NODE_KEY, 1, "e"), 5);
    EXPECT_TRUE(gap.RemoveNode(2));
    EXPECT_EQ(gap.AddNode(NODE_KEY, 0, "again"), 2);

    // A hand-edited file with a repeated or negative ID: the new ID is still unused.
    Write(Tree(Node(1, "KEY", "a") + Node(1, "KEY", "b") + Node(-3, "KEY", "c") +
               Node(2, "KEY", "d")));
    CKeywordTreeFile repeated(Path());
    LoadAll(repeated);
    EXPECT_EQ(repeated.AddNode(NODE_KEY, 0, "e"), 3);
}

TEST_F(TreeFile, AddingIsRefusedForUnknownParentsChannelsAndSameTypeNames) {
    Write(Tree(Node(1, "FOLDER", "Sports", Node(2, "KEY", "news")) + Node(3, "KEY", "weather")));
    CKeywordTreeFile tree(Path());
    LoadAll(tree);
    const std::string before = Contents();

    struct Refusal {
        const char* what;
        int type;
        int parent;
        const char* name;
    };
    const Refusal refusals[] = {
        {"unknown parent", NODE_KEY, 99, "x"},
        {"a channel as parent", NODE_FOLDER, 3, "x"},
        {"a nested channel as parent", NODE_KEY, 2, "x"},
        {"same type and name ignoring case", NODE_KEY, 1, "NEWS"},
        {"same name at the top level", NODE_FOLDER, 0, "sports"},
        {"no node type", NODE_NONE, 0, "x"},
    };
    for (const Refusal& refusal : refusals) {
        EXPECT_EQ(tree.AddNode(refusal.type, refusal.parent, refusal.name),
                  CKeywordTreeFile::kRefused)
            << refusal.what;
    }
    EXPECT_EQ(Contents(), before);

    // A folder may share a channel's name; names are compared only among siblings; an
    // empty name is not checked.
    EXPECT_EQ(tree.AddNode(NODE_FOLDER, 1, "news"), 4);
    EXPECT_EQ(tree.AddNode(NODE_KEY, 0, "News"), 5);
    EXPECT_EQ(tree.AddNode(NODE_KEY, 0, ""), 6);
    EXPECT_EQ(Outline(), "Sports{news,news},weather,News,");

    // Fields are written ID, NODETYPE, TEXT, so the file reads back by position too.
    CXmlDocument saved;
    ASSERT_TRUE(saved.loadFile(Path()));
    const XmlNode added = saved.getElementsByTagName("KEYWORDNODE").back();
    Strings fields;
    for (const XmlNode& child : added.childNodes()) {
        fields.push_back(child.name() + "=" + child.text());
    }
    EXPECT_EQ(fields, (Strings{"ID=6", "NODETYPE=KEY", "TEXT="}));
}

TEST_F(TreeFile, LongNamesAreCutToTheNameLimitInCodePageBytes) {
    Write(Tree(""));
    CKeywordTreeFile tree(Path());
    LoadAll(tree);
    std::string name;
    for (int i = 0; i < 200; ++i) {
        name += "足";  // 600 bytes of UTF-8, 400 code-page bytes
    }
    name += std::string(200, 'x');  // 600 code-page bytes in all
    const std::string kept = name.substr(0, 600 + 111);
    const int id = tree.AddNode(NODE_KEY, 0, name);
    ASSERT_NE(id, CKeywordTreeFile::kRefused);
    EXPECT_EQ(Outline(), kept);
    EXPECT_TRUE(tree.RenameNode(id, "足" + name));
    EXPECT_EQ(Outline(), "足" + name.substr(0, 600 + 109));
    EXPECT_EQ(CKeywordNode::NewNode(name, NODE_KEY).name, kept);
}

TEST_F(TreeFile, RemovingANodeKeepsItsChildrenRemovingABranchDoesNot) {
    const std::string file =
        Tree(Node(1, "FOLDER", "A",
                  Node(2, "FOLDER", "X", Node(3, "KEY", "x1")) + Node(4, "KEY", "a1") +
                      Node(5, "FOLDER", "Y", Node(6, "KEY", "y1") + Node(7, "KEY", "y2"))) +
             Node(8, "KEY", "B"));
    Write(file);
    {
        CKeywordTreeFile tree(Path());
        LoadAll(tree);
        EXPECT_TRUE(tree.RemoveNode(1));
        EXPECT_EQ(Outline(), "B,X{x1},a1,Y{y1,y2}");
        EXPECT_TRUE(tree.RemoveNode(3));
        EXPECT_EQ(Outline(), "B,X,a1,Y{y1,y2}");
    }
    Write(file);
    {
        CKeywordTreeFile tree(Path());
        LoadAll(tree);
        EXPECT_TRUE(tree.RemoveBranch(1));
        EXPECT_EQ(Outline(), "B");
        EXPECT_EQ(ReadChannelKeywords(Path()), (Strings{"B"}));
        const std::string before = Contents();
        // Unknown IDs and the root are refused and change nothing.
        EXPECT_FALSE(tree.RemoveBranch(1));
        EXPECT_FALSE(tree.RemoveNode(99));
        EXPECT_FALSE(tree.RemoveNode(0));
        EXPECT_FALSE(tree.RemoveBranch(0));
        EXPECT_FALSE(tree.RenameNode(42, "x"));
        EXPECT_FALSE(tree.RenameNode(0, "x"));
        EXPECT_EQ(Contents(), before);
    }
}

TEST_F(TreeFile, RenamingAcceptsASiblingsNameAndSaves) {
    Write(Tree(Node(1, "KEY", "first") + Node(2, "KEY", "second")));
    CKeywordTreeFile tree(Path());
    LoadAll(tree);
    EXPECT_TRUE(tree.RenameNode(2, "first"));
    EXPECT_EQ(Outline(), "first,first");
    EXPECT_TRUE(tree.RenameNode(1, "Tom & <Jerry>"));
    EXPECT_EQ(Outline(), "Tom & <Jerry>,first");
}

// Moving up and down reorders siblings with a series of moves to the end of their parent,
// then one save; the tables list the moves the two commands make.
TEST_F(TreeFile, SiblingsRotateThroughMovesToTheEnd) {
    struct Case {
        const char* command;
        std::vector<int> moves;
        const char* result;
    };
    // Siblings first (2), second (3), third (4) in folder 1.
    const Case cases[] = {
        {"up the first", {2}, "second,third,first"},
        {"up the second", {2, 4}, "second,first,third"},
        {"down the first", {2, 4}, "second,first,third"},
        {"down the last", {2, 3}, "third,first,second"},
    };
    for (const Case& c : cases) {
        Write(Tree(
            Node(1, "FOLDER", "P",
                 Node(2, "KEY", "first") + Node(3, "KEY", "second") + Node(4, "KEY", "third")) +
            Node(5, "KEY", "after")));
        const std::string before = Contents();
        CKeywordTreeFile tree(Path());
        LoadAll(tree);
        for (const int id : c.moves) {
            EXPECT_TRUE(tree.MoveNodeToEnd(id, 1)) << c.command;
        }
        EXPECT_EQ(Contents(), before) << c.command << ": moves alone do not save";
        EXPECT_TRUE(tree.Save());
        EXPECT_EQ(Outline(), std::string("P{") + c.result + "},after") << c.command;
    }
}

TEST_F(TreeFile, MovingCarriesTheBranchAndRefusesImpossibleTargets) {
    Write(Tree(Node(1, "FOLDER", "A",
                    Node(2, "FOLDER", "B", Node(3, "KEY", "b1")) + Node(4, "KEY", "a1")) +
               Node(5, "KEY", "c")));
    CKeywordTreeFile tree(Path());
    LoadAll(tree);
    EXPECT_FALSE(tree.MoveNodeToEnd(1, 2)) << "into its own branch";
    EXPECT_FALSE(tree.MoveNodeToEnd(1, 1)) << "into itself";
    EXPECT_FALSE(tree.MoveNodeToEnd(0, 1)) << "the root";
    EXPECT_FALSE(tree.MoveNodeToEnd(4, 5)) << "under a channel";
    EXPECT_FALSE(tree.MoveNodeToEnd(99, 0));
    EXPECT_FALSE(tree.MoveNodeToEnd(4, 99));
    EXPECT_TRUE(tree.MoveNodeToEnd(1, 0));  // already last but one: now last
    EXPECT_TRUE(tree.MoveNodeToEnd(2, 0));
    EXPECT_TRUE(tree.Save());
    EXPECT_EQ(Outline(), "c,A{a1},B{b1}");
}

TEST_F(TreeFile, AGb2312FileStaysGb2312) {
    Write(ReadTestData("tree/gb2312.xml"));
    CKeywordTreeFile tree(Path());
    const LoadResult loaded = LoadAll(tree);
    EXPECT_EQ(loaded.label, "我的频道");
    EXPECT_EQ(Outline(), "国内新闻{北京},股票");

    EXPECT_EQ(tree.AddNode(NODE_KEY, 1, "新闻"), 4);
    const std::string saved = Contents();
    EXPECT_TRUE(saved.starts_with("<?xml version=\"1.0\" encoding=\"GB2312\"?>")) << saved;
    EXPECT_NE(saved.find("\xD0\xC2\xCE\xC5"), std::string::npos);  // 新闻 in GB2312
    EXPECT_EQ(saved.find("新闻"), std::string::npos);              // not as UTF-8
    EXPECT_EQ(Outline(), "国内新闻{北京,新闻},股票");
}

// A tree file whose declaration names an encoding no encoder knows was read as UTF-8: an edit
// is saved, in UTF-8 and declared so, rather than never.
TEST_F(TreeFile, AFileOfAnUnknownEncodingIsSavedInUtf8) {
    std::string text = Tree(Node(1, "KEY", "天气"));
    text.replace(text.find("utf-8"), 5, "x");
    Write(text);
    CKeywordTreeFile tree(Path());
    LoadAll(tree);
    int failures = 0;
    tree.SetSaveFailureListener([&](int) { ++failures; });
    EXPECT_EQ(tree.AddNode(NODE_KEY, 0, "新闻"), 2);
    EXPECT_EQ(failures, 0);
    EXPECT_TRUE(Contents().starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")) << Contents();
    EXPECT_EQ(Outline(), "天气,新闻");
}

TEST_F(TreeFile, AFailedSaveReportsFalseAndLeavesTheOldFileWhole) {
    // The folder cannot be made: a file stands where it should be. Every failed save, also
    // one inside a change, is told to the listener with the system's reason.
    m_folder.WriteFile("blocked", "a file");
    CKeywordTreeFile blocked(m_folder.File("blocked/document/keywordlist.xml"));
    LoadAll(blocked);
    std::vector<int> heard;
    blocked.SetSaveFailureListener([&](int errorNumber) { heard.push_back(errorNumber); });
    EXPECT_FALSE(blocked.Save());
    // The change is kept in memory even though the file could not be written.
    EXPECT_EQ(blocked.AddNode(NODE_KEY, 0, "kept"), 1);
    EXPECT_EQ(blocked.AddNode(NODE_KEY, 0, "kept"), CKeywordTreeFile::kRefused);
    EXPECT_EQ(heard, (std::vector<int>{ENOTDIR, ENOTDIR}));

    // The write stops midway (file size limit, which binds root as well).
    Write(ReadTestData("tree/sample.xml"));
    const std::string before = Contents();
    CKeywordTreeFile tree(Path());
    LoadAll(tree);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saveResult = tree.Save();
    const int added = tree.AddNode(NODE_KEY, 0, "lost");
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saveResult);
    EXPECT_EQ(added, 6);
    EXPECT_EQ(Contents(), before);
    for (const auto& entry : std::filesystem::directory_iterator(m_folder.File("document"))) {
        EXPECT_EQ(entry.path().filename(), "keywordlist.xml") << "no temporary file is left";
    }
}

// Whether a channel searches for its name is kept in the file; a file that does not say (every
// file of an older build) searches for every channel, as it always did.
TEST_F(TreeFile, KeepsWhetherEachChannelSearchesForItsName) {
    m_folder.WriteFile(kTreeFile, ReadTestData("tree/sample.xml"));
    {
        CKeywordTreeFile tree(Path());
        for (const Loaded& loaded : LoadAll(tree).nodes) {
            EXPECT_TRUE(loaded.node.searchName) << loaded.node.name;
        }
        const int feed = tree.AddNode(NODE_KEY, 0, "博客", false);
        ASSERT_GT(feed, 0);
        EXPECT_TRUE(tree.SetSearchName(3, false));
        EXPECT_FALSE(tree.SetSearchName(999, false));
    }
    EXPECT_EQ(ReadTreeChannels(Path()), (std::vector<ChannelKeyword>{{"足球", false},
                                                                     {"tennis", true},
                                                                     {"Premier League", true},
                                                                     {"人工智能", true},
                                                                     {"天气", true},
                                                                     {"博客", false}}));
    CKeywordTreeFile tree(Path());
    LoadAll(tree);
    EXPECT_TRUE(tree.SetSearchName(3, true));
    EXPECT_TRUE(ReadTreeChannels(Path()).front().searchName);
}
