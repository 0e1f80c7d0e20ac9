// Streaming a document reads it as parsing it into a tree would: the same encodings, the
// same failures, without a tree.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xml/xml_parse.h"

namespace {

// The calls a document makes, as one line: "<name a=v>" for a start (with the attributes
// asked for by name), "</>" for an end, "t:" text, "c:" CDATA, "m" a comment or instruction.
class Trace final : public XmlStreamHandler {
public:
    explicit Trace(std::vector<std::string> asked) : m_asked(std::move(asked)) {}

    void StartElement(const XmlStreamElement& element) override {
        m_line += "<" + element.QualifiedName();
        for (const std::string& name : m_asked) {
            if (const std::optional<std::string> value = element.Attribute(name)) {
                m_line += " " + name + "=" + *value;
            }
        }
        m_line += ">";
    }
    void EndElement() override { m_line += "</>"; }
    void Text(std::string_view text, bool cdata) override {
        m_line += (cdata ? "c:" : "t:") + std::string(text) + " ";
    }
    void Markup() override { m_line += "m "; }

    const std::string& Line() const { return m_line; }

private:
    std::vector<std::string> m_asked;
    std::string m_line;
};

std::string Utf16Le(std::string_view ascii) {
    std::string bytes = "\xFF\xFE";
    for (const char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

}  // namespace

TEST(XmlStream, ReadsEveryEncodingAndPartAsATreeWould) {
    struct Case {
        std::string bytes;
        std::string trace;
    };
    const std::vector<Case> cases = {
        {"<?xml version='1.0' encoding='GB2312'?><r a='1' p:b='2' xmlns:p='urn:p'>"
         "\xD6\xD0\xCE\xC4</r>",
         "<r a=1 p:b=2>t:中文 </>"},
        // Undeclared bytes that are not UTF-8 are read as GB18030.
        {"<r>\xD6\xD0\xCE\xC4</r>", "<r>t:中文 </>"},
        {Utf16Le("<r b='x'>hi</r>"), "<r>t:hi </>"},
        {"<r>a<!--x-->b<![CDATA[<c>]]><?p q?>&amp;</r>", "<r>t:a m t:b c:<c> m t:& </>"},
        {"<p:r xmlns:p='urn:p'><p:a/></p:r>", "<p:r><p:a></></>"},
    };
    for (const Case& c : cases) {
        Trace trace({"a", "p:b", "b:x"});
        const StreamedXml read = StreamXmlBytes(c.bytes, {}, trace);
        EXPECT_EQ(read.error, "") << c.bytes;
        EXPECT_FALSE(read.hasDoctype);
        EXPECT_EQ(trace.Line(), c.trace) << c.bytes;
    }
}

TEST(XmlStream, FailsWhereATreeWouldWithItsReasonAndStopsAtADocumentType) {
    const std::vector<std::string> failing = {
        "<r><a></r>", "", "<r/><s/>", "<r>&undeclared;</r>", "<r " + [] {
            std::string attributes;
            for (int i = 0; i < 1001; ++i) {
                attributes += "a" + std::to_string(i) + "='' ";
            }
            return attributes;
        }() + "/>"};
    for (const std::string& bytes : failing) {
        Trace trace({});
        const StreamedXml read = StreamXmlBytes(bytes, {}, trace);
        EXPECT_FALSE(read.error.empty()) << bytes.substr(0, 60);
        EXPECT_EQ(read.error, ParseXmlBytes(bytes, "", {}).error) << bytes.substr(0, 60);
        EXPECT_FALSE(read.hasDoctype);
    }
    Trace trace({});
    const StreamedXml read = StreamXmlBytes("<!DOCTYPE r [<!ENTITY e 'x'>]><r>&e;</r>", {}, trace);
    EXPECT_TRUE(read.hasDoctype);
    EXPECT_FALSE(read.error.empty());
    EXPECT_EQ(trace.Line(), "");
}
