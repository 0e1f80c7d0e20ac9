#include "xml/xml_document.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "support/local_http_server.h"
#include "support/temp_data_folder.h"

namespace {

constexpr char kTree[] =
    "<KEYWORDTREE><ID>0</ID><NODETYPE>FOLDER</NODETYPE><TEXT>root</TEXT>"
    "<KEYWORDNODE><ID>1</ID><NODETYPE>FOLDER</NODETYPE><TEXT>Sports</TEXT>"
    "<KEYWORDNODE><ID>3</ID><NODETYPE>KEY</NODETYPE><TEXT>football</TEXT></KEYWORDNODE>"
    "</KEYWORDNODE>"
    "<KEYWORDNODE><ID>2</ID><NODETYPE>KEY</NODETYPE><TEXT>weather</TEXT></KEYWORDNODE>"
    "</KEYWORDTREE>";

std::vector<std::string> Texts(const std::vector<XmlNode>& nodes) {
    std::vector<std::string> texts;
    for (const XmlNode& node : nodes) {
        texts.push_back(node.text());
    }
    return texts;
}

using Strings = std::vector<std::string>;

}  // namespace

TEST(XmlDocument, SelectsByPlainChildPaths) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.loadXML(kTree));
    EXPECT_EQ(doc.selectSingleNode("KEYWORDTREE").name(), "KEYWORDTREE");
    EXPECT_EQ(doc.selectSingleNode("KEYWORDTREE/TEXT").text(), "root");
    EXPECT_EQ(Texts(doc.selectNodes("KEYWORDTREE/KEYWORDNODE/TEXT")),
              (Strings{"Sports", "weather"}));
    EXPECT_TRUE(doc.selectSingleNode("rss").IsNull());
    EXPECT_TRUE(doc.selectNodes("KEYWORDTREE/nothing").empty());
    const XmlNode sports = doc.selectSingleNode("KEYWORDTREE/KEYWORDNODE");
    EXPECT_EQ(sports.selectSingleNode("KEYWORDNODE/TEXT").text(), "football");
    EXPECT_TRUE(sports.selectSingleNode("KEYWORDTREE").IsNull());
}

TEST(XmlDocument, ElementsByTagNameIncludingTheTwoStepForm) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.loadXML(kTree));
    EXPECT_EQ(Texts(doc.getElementsByTagName("ID")), (Strings{"0", "1", "3", "2"}));
    EXPECT_EQ(Texts(doc.getElementsByTagName("KEYWORDNODE/ID")), (Strings{"1", "3", "2"}));
    EXPECT_EQ(Texts(doc.getElementsByTagName("KEYWORDNODE/TEXT")),
              (Strings{"Sports", "football", "weather"}));
    EXPECT_EQ(doc.getElementsByTagName("KEYWORDNODE").size(), 3u);
    EXPECT_TRUE(doc.getElementsByTagName("MISSING").empty());
}

TEST(XmlDocument, EditsTheTreeThroughItsNodes) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.loadXML(kTree));
    XmlNode root = doc.documentElement();
    XmlNode sports = root.selectSingleNode("KEYWORDNODE");
    XmlNode football = sports.selectSingleNode("KEYWORDNODE");
    EXPECT_EQ(football.parentNode(), sports);
    EXPECT_TRUE(root.parentNode().IsNull());
    EXPECT_EQ(sports.childCount(), 4u);

    // appendChild moves a node that already has a parent.
    ASSERT_TRUE(root.appendChild(football));
    EXPECT_EQ(sports.childCount(), 3u);
    EXPECT_EQ(Texts(root.selectNodes("KEYWORDNODE/TEXT")),
              (Strings{"Sports", "weather", "football"}));
    // A node cannot go below itself.
    EXPECT_FALSE(sports.appendChild(root));
    EXPECT_FALSE(sports.appendChild(sports));

    sports.selectSingleNode("TEXT").put_text("Sport & <Games>");
    EXPECT_EQ(sports.selectSingleNode("TEXT").text(), "Sport & <Games>");

    EXPECT_TRUE(root.removeChild(football));
    EXPECT_FALSE(root.removeChild(sports.selectSingleNode("ID")));  // not a child of root
    EXPECT_EQ(doc.getElementsByTagName("KEYWORDNODE").size(), 2u);

    XmlNode created = doc.createNode("KEYWORDNODE");
    XmlNode id = doc.createNode("ID");
    id.put_text("9");
    ASSERT_TRUE(created.appendChild(id));
    ASSERT_TRUE(sports.appendChild(created));
    EXPECT_EQ(Texts(doc.getElementsByTagName("KEYWORDNODE/ID")), (Strings{"1", "9", "2"}));
    doc.createNode("never-appended");  // freed with the document
}

TEST(XmlDocument, AttributesKeepTheirOrderAndValues) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.loadXML("<?xml version=\"1.0\" encoding=\"utf-8\"?><opml><body/></opml>"));
    XmlNode outline = doc.createNode("outline");
    ASSERT_TRUE(doc.selectSingleNode("opml/body").appendChild(outline));
    outline.setAttribute("text", "");
    outline.setAttribute("title", "Tom & \"Jerry\" 新闻");
    outline.setAttribute("type", "rss");
    EXPECT_EQ(outline.getAttribute("title"), "Tom & \"Jerry\" 新闻");
    EXPECT_EQ(outline.getAttribute("text"), "");
    EXPECT_FALSE(outline.getAttribute("xmlUrl").has_value());
    const std::string saved = doc.serialize();
    EXPECT_NE(saved.find("<outline text=\"\" title=\"Tom &amp; &quot;Jerry&quot; 新闻\" "
                         "type=\"rss\"/>"),
              std::string::npos)
        << saved;
    EXPECT_TRUE(saved.starts_with("<?xml version=\"1.0\" encoding=\"utf-8\"?>")) << saved;
}

TEST(XmlDocument, SavedDocumentsLoadBackUnchanged) {
    TempDataFolder folder;
    CXmlDocument doc;
    ASSERT_TRUE(doc.loadXML(kTree));
    const std::string path = folder.File("document/tree.xml");
    ASSERT_TRUE(doc.save(path));
    CXmlDocument again;
    ASSERT_TRUE(again.loadFile(path));
    EXPECT_EQ(again.serialize(), doc.serialize());
    EXPECT_EQ(Texts(again.getElementsByTagName("TEXT")),
              (Strings{"root", "Sports", "football", "weather"}));
    // Without a declaration of its own, none is added.
    EXPECT_FALSE(folder.ReadFile("document/tree.xml").starts_with("<?xml"));
    // Saving into a folder that does not exist writes nothing and reports it.
    EXPECT_FALSE(doc.save(folder.File("missing/tree.xml")));
}

TEST(XmlDocument, AGb2312FileStaysGb2312) {
    TempDataFolder folder;
    CXmlDocument doc;
    ASSERT_TRUE(doc.loadFile(TestDataPath("feeds/gb2312.xml")));
    const std::string title = doc.selectSingleNode("rss/channel/title").text();
    EXPECT_EQ(title, "体育新闻");
    ASSERT_TRUE(doc.save(folder.File("gb.xml")));
    const std::string bytes = folder.ReadFile("gb.xml");
    EXPECT_TRUE(bytes.starts_with("<?xml version=\"1.0\" encoding=\"gb2312\"?>")) << bytes;
    EXPECT_NE(bytes.find("\xCC\xE5\xD3\xFD"), std::string::npos);  // 体育 in GB bytes
    CXmlDocument again;
    ASSERT_TRUE(again.loadFile(folder.File("gb.xml")));
    EXPECT_EQ(again.serialize(), doc.serialize());
    EXPECT_EQ(again.selectSingleNode("rss/channel/item/title").text(), "朱镕基访问 㐀");
}

TEST(XmlDocument, MalformedOrEmptyInputFailsWithoutADocument) {
    CXmlDocument doc;
    for (const char* text : {"", "<a>", "<a></b>", "not xml at all", "<a/><b/>", "<?xml?>"}) {
        EXPECT_FALSE(doc.loadXML(text)) << text;
        EXPECT_FALSE(doc.IsLoaded()) << text;
        EXPECT_TRUE(doc.documentElement().IsNull());
    }
    EXPECT_FALSE(doc.loadFile("/no/such/file.xml"));
    // Nesting deeper than the parser allows fails instead of exhausting the stack.
    std::string deep;
    for (int i = 0; i < 100000; ++i) {
        deep += "<a>";
    }
    EXPECT_FALSE(doc.loadXML(deep));
}

TEST(XmlDocument, FindsElementsAndAttributesByNamespaceWhateverTheirPrefix) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.loadXML(
        "<a:r xmlns:a='urn:a' xmlns:b='urn:a' xmlns='urn:d'><b:x b:k='1'>one</b:x><x>other</x>"
        "<a:x k='2'>two</a:x></a:r>"));
    const XmlNode root = doc.documentElement();
    EXPECT_EQ(root.localName(), "r");
    EXPECT_EQ(root.namespaceUri(), "urn:a");
    EXPECT_EQ(Texts(root.selectChildrenNS("urn:a", "x")), (Strings{"one", "two"}));
    EXPECT_EQ(root.selectChildNS("urn:d", "x").text(), "other");
    EXPECT_TRUE(root.selectChildrenNS("", "x").empty());
    EXPECT_EQ(root.selectChildNS("urn:a", "x").getAttributeNS("urn:a", "k"), "1");
    // An attribute without a prefix is in no namespace, whatever the element's default.
    EXPECT_FALSE(root.selectChildrenNS("urn:a", "x")[1].getAttributeNS("urn:a", "k"));
}

// The markup inside an element as the document has it: characters as they are, text escaped,
// no namespace declarations of the ancestors, and cut at a character boundary.
TEST(XmlDocument, InnerXmlIsTheMarkupOfTheChildren) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.loadBytes(
        "<?xml version='1.0' encoding='GB2312'?><c><div xmlns='http://www.w3.org/1999/xhtml'>"
        "\xD6\xD0 <a href='?a=1&amp;b=2'>&lt;x&gt;</a><br/></div></c>"));
    const XmlNode div = doc.documentElement().selectSingleNode("div");
    EXPECT_EQ(div.innerXml(), "中 <a href=\"?a=1&amp;b=2\">&lt;x&gt;</a><br/>");
    EXPECT_EQ(div.innerXml(2), "");
    EXPECT_EQ(div.innerXml(5), "中 <");
    EXPECT_EQ(doc.documentElement().innerXml().find("<div xmlns="), 0u);
}

// A forgiving load reads a broken document as libxml2's recovery makes it once mended; a
// strict load (the tree file, OPML lists) still refuses it.
TEST(XmlDocument, AForgivingLoadMendsWhatAStrictLoadRefuses) {
    const std::string broken = "\n<?xml version='1.0'?><r>a&nbsp;&copy; & b<i>unclosed</r>";
    CXmlDocument doc;
    EXPECT_FALSE(doc.loadBytes(broken));
    ASSERT_TRUE(doc.loadBytes(broken, {}, {}, XmlParseMode::kForgiving));
    EXPECT_TRUE(doc.recovered());
    EXPECT_NE(doc.lastError().find("XML declaration"), std::string::npos) << doc.lastError();
    EXPECT_EQ(doc.documentElement().text(), "a\u00A0\u00A9 & bunclosed");
    ASSERT_TRUE(doc.loadBytes("<r>fine</r>", {}, {}, XmlParseMode::kForgiving));
    EXPECT_FALSE(doc.recovered());
    EXPECT_EQ(doc.lastError(), "");
    // UTF-16 is not mended, only recovered.
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("<r><i>x</r>")) {
        utf16 += c;
        utf16 += '\0';
    }
    ASSERT_TRUE(doc.loadBytes(utf16, {}, {}, XmlParseMode::kForgiving));
    EXPECT_EQ(doc.documentElement().text(), "x");
    EXPECT_FALSE(doc.loadBytes("no markup & nothing", {}, {}, XmlParseMode::kForgiving));
}

TEST(XmlDocumentHostile, ExternalEntitiesReadNoFileAndReachNoServer) {
    TempDataFolder folder;
    folder.WriteFile("secret.txt", "TOP-SECRET");
    LocalHttpServer server;
    server.Serve("/evil.dtd", "<!ENTITY leak SYSTEM \"file://" + folder.File("secret.txt") + "\">");
    server.Serve("/entity", "TOP-SECRET");
    const std::string secret = "file://" + folder.File("secret.txt");
    const std::string documents[] = {
        "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + secret + "\">]><r>&x;</r>",
        "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + server.Url("/entity") + "\">]><r>&x;</r>",
        "<!DOCTYPE r SYSTEM \"" + secret + "\"><r>plain</r>",
        "<!DOCTYPE r SYSTEM \"" + server.Url("/evil.dtd") + "\"><r>&leak;</r>",
        "<!DOCTYPE r [<!ENTITY % p SYSTEM \"" + server.Url("/evil.dtd") + "\"> %p;]><r>&leak;</r>",
        "<?xml version=\"1.0\"?><?xml-stylesheet href=\"" + server.Url("/entity") +
            "\"?><r><xi:include xmlns:xi=\"http://www.w3.org/2001/XInclude\" href=\"" + secret +
            "\"/></r>",
    };
    for (const std::string& text : documents) {
        // Also once broken, so that the forgiving load mends and recovers it.
        for (const std::string& variant : {text, text + "&"}) {
            CXmlDocument doc;
            if (doc.loadBytes(variant, "UTF-8", {}, XmlParseMode::kForgiving)) {
                EXPECT_EQ(doc.documentElement().text().find("TOP-SECRET"), std::string::npos)
                    << variant;
                EXPECT_EQ(doc.serialize().find("TOP-SECRET"), std::string::npos) << variant;
            }
        }
    }
    EXPECT_TRUE(server.Targets().empty());
}

TEST(XmlDocumentHostile, EntityExpansionStaysBounded) {
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol0 \"lol\">";
    for (int i = 1; i <= 9; ++i) {
        laughs += "<!ENTITY lol" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; ++j) {
            laughs += "&lol" + std::to_string(i - 1) + ";";
        }
        laughs += "\">";
    }
    laughs += "]><lolz>&lol9;</lolz>";
    // One large entity referenced many times: quadratic growth without nesting.
    std::string quadratic = "<!DOCTYPE q [<!ENTITY big \"" + std::string(100000, 'q') + "\">]><q>";
    for (int i = 0; i < 5000; ++i) {
        quadratic += "&big;";
    }
    quadratic += "</q>";
    for (const std::string* text : {&laughs, &quadratic}) {
        for (const XmlParseMode mode : {XmlParseMode::kStrict, XmlParseMode::kForgiving}) {
            CXmlDocument doc;
            if (doc.loadBytes(*text + (mode == XmlParseMode::kForgiving ? "&" : ""), "UTF-8", {},
                              mode)) {
                EXPECT_LE(doc.documentElement().text().size(), XmlNode::kMaxTextBytes);
            }
        }
    }
    // An ordinary internal entity still reads as its text.
    CXmlDocument doc;
    ASSERT_TRUE(doc.loadXML("<!DOCTYPE r [<!ENTITY who \"世界\">]><r>Hello &who;!</r>"));
    EXPECT_EQ(doc.documentElement().text(), "Hello 世界!");
}

namespace {

// Runs `action` with stderr sent to a file; returns what was written there.
template <typename Action>
std::string CapturedStderr(Action action) {
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    std::FILE* sink = std::tmpfile();
    ::dup2(::fileno(sink), STDERR_FILENO);
    action();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    std::string captured;
    std::rewind(sink);
    char buffer[4096];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, sink)) {
        captured.append(buffer, got);
    }
    std::fclose(sink);
    return captured;
}

std::string Crowded(std::size_t attributes) {
    std::string text = "<rss><channel><item";
    for (std::size_t i = 0; i < attributes; ++i) {
        text += " a" + std::to_string(i) + "='" + std::to_string(i) + "'";
    }
    return text + "/></channel></rss>";
}

}  // namespace

TEST(XmlDocument, AnAddressFromDataIsFetchedOnlyOverTheNetwork) {
    TempDataFolder folder;
    folder.WriteFile("feed.xml", "<rss/>");
    CXmlDocument doc;
    EXPECT_TRUE(doc.load(folder.File("feed.xml"), AddressOrigin::kTypedByUser));
    EXPECT_FALSE(doc.load(folder.File("feed.xml"), AddressOrigin::kFromData));
    EXPECT_FALSE(doc.IsLoaded());
    EXPECT_FALSE(doc.load("file://" + folder.File("feed.xml"), AddressOrigin::kFromData));
    LocalHttpServer server;
    server.Serve("/feed", "<rss/>");
    EXPECT_TRUE(doc.load(server.Url("/feed"), AddressOrigin::kFromData));
}

// libxml2's duplicate-attribute check takes time that grows with the square of their count:
// a million attributes held a parse for minutes (bench/input_bench measures the refusal).
TEST(XmlDocumentHostile, AnElementWithAbsurdlyManyAttributesIsRefusedBeforeParsing) {
    CXmlDocument doc;
    EXPECT_FALSE(doc.loadXML(Crowded(1'000'000)));
    EXPECT_NE(doc.lastError().find("attributes"), std::string::npos) << doc.lastError();
    // Quoted values may hold "=" and ">" without counting; a thousand real ones still load.
    EXPECT_TRUE(doc.loadXML(Crowded(1000)));
    EXPECT_TRUE(doc.loadXML("<r a='" + std::string(5000, '=') + ">'/>"));
    const std::string utf16 = std::string("\xFF\xFE", 2) + [] {
        std::string wide;
        for (char c : Crowded(2000)) {
            wide += c;
            wide += '\0';
        }
        return wide;
    }();
    EXPECT_FALSE(doc.loadBytes(utf16));
    // A broken document is refused before parsing all the same, and not mended.
    EXPECT_FALSE(doc.loadBytes(Crowded(1'000'000) + "&", {}, {}, XmlParseMode::kForgiving));
    EXPECT_NE(doc.lastError().find("attributes"), std::string::npos) << doc.lastError();
}

TEST(XmlDocumentHostile, ParsingEndsOnTheStopFlagAndAfterItsProcessorTimeBudget) {
    std::string big = "<rss><channel>";
    for (int i = 0; i < 100000; ++i) {
        big += "<item><title>item " + std::to_string(i) + "</title></item>";
    }
    big += "</channel></rss>";
    CXmlDocument doc;
    const std::atomic<bool> stop{true};
    XmlParseLimits stopped;
    stopped.stop = &stop;
    EXPECT_FALSE(doc.loadBytes(big, {}, stopped));
    EXPECT_EQ(doc.lastError(), "abandoned");
    XmlParseLimits hurried;
    hurried.cpuBudget = std::chrono::milliseconds(1);
    EXPECT_FALSE(doc.loadBytes(big, {}, hurried));
    EXPECT_NE(doc.lastError().find("processor time"), std::string::npos) << doc.lastError();
    EXPECT_TRUE(doc.loadBytes(big));
    EXPECT_EQ(doc.selectNodes("rss/channel/item").size(), 100000u);
    // A document refused on a limit is not read a second time, broken or not.
    const std::string broken = big + "<unclosed>";
    EXPECT_FALSE(doc.loadBytes(broken, {}, stopped, XmlParseMode::kForgiving));
    EXPECT_EQ(doc.lastError(), "abandoned");
    EXPECT_FALSE(doc.loadBytes(broken, {}, hurried, XmlParseMode::kForgiving));
    EXPECT_NE(doc.lastError().find("processor time"), std::string::npos) << doc.lastError();
    EXPECT_TRUE(doc.loadBytes(broken, {}, {}, XmlParseMode::kForgiving));
    EXPECT_TRUE(doc.recovered());
}

TEST(XmlDocumentHostile, LibxmlPrintsNothingAndTheCallerGetsTheReason) {
    CXmlDocument doc;
    const std::string output = CapturedStderr([&doc] {
        // A GB2312 document with bytes that are no GB2312 character.
        EXPECT_FALSE(doc.loadBytes(
            "<?xml version=\"1.0\" encoding=\"GB2312\"?><rss><title>\x81\x20\xFF</title></rss>"));
        EXPECT_NE(doc.lastError().find("conversion failed"), std::string::npos) << doc.lastError();
        EXPECT_FALSE(doc.loadXML("<rss><unclosed></rss>"));
        EXPECT_FALSE(doc.lastError().empty());
        std::thread other([] {
            CXmlDocument mine;
            EXPECT_FALSE(mine.loadBytes("<?xml version=\"1.0\" encoding=\"GBK\"?><a>\x81\x20</a>"));
        });
        other.join();
    });
    EXPECT_EQ(output, "");
}
