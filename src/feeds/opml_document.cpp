#include "feeds/opml_document.h"

#include "base/clock.h"
#include "base/text_util.h"
#include "store/ado_connection.h"
#include "store/ado_recordset.h"
#include "store/statements.h"

namespace {

constexpr std::string_view kExtension = ".opml";

// Local time, each number without leading zeros: 2006-5-9 8:3:7.
std::string DateCreatedText(const CalendarTime& now) {
    return std::to_string(now.year) + "-" + std::to_string(now.month) + "-" +
           std::to_string(now.day) + " " + std::to_string(now.hour) + ":" +
           std::to_string(now.minute) + ":" + std::to_string(now.second);
}

}  // namespace

// The owner name and site address are ours to choose, but a stray '&' or '<' in them must
// not turn the head into a document that no longer parses.
std::string OpmlHeaderText(std::string_view dateCreated, std::string_view ownerName,
                           std::string_view site) {
    const std::string siteText = EscapeMarkup(site);
    std::string header;
    header += "<?xml version=\"1.0\" encoding=\"utf-8\"?><opml version=\"1.0\">";
    header += "<head><title>Quillon</title><dateCreated>";
    header += EscapeMarkup(dateCreated);
    header += "</dateCreated><ownerName>";
    header += EscapeMarkup(ownerName);
    header += "</ownerName><ownerEmail></ownerEmail>";
    header += "<description>" + siteText + "</description>";
    header += "<createdBy>Quillon-Rss</createdBy>";
    header += "<link>" + siteText + "</link></head><body></body></opml>";
    return header;
}

std::string WithOpmlExtension(std::string_view path) {
    std::string result(path);
    if (path.size() < kExtension.size() ||
        !EqualsIgnoreAsciiCase(path.substr(path.size() - kExtension.size()), kExtension)) {
        result += kExtension;
    }
    return result;
}

COpmlDocument::COpmlDocument() = default;

COpmlDocument::~COpmlDocument() = default;

bool COpmlDocument::ExportSubscriptions(const CAdoConnection& connection, const std::string& path,
                                        std::string_view ownerName, std::string_view site) {
    if (!connection.IsOpen()) {
        return false;
    }
    m_writeList.clear();
    CAdoRecordset rows(connection);
    if (rows.Open(SqlSelectAllOpml())) {
        // Positions 1 to 3 are opml_key, opml_xml_url and opml_html_url; 0 is the row's key.
        // Bound once: bindings accumulate, and every Fetch fills all of them.
        COpmlOutline row;
        rows.BindColumn(1, row.title, sizeof row.title, kBindText);
        rows.BindColumn(2, row.xmlUrl, sizeof row.xmlUrl, kBindText);
        rows.BindColumn(3, row.htmlUrl, sizeof row.htmlUrl, kBindText);
        for (rows.MoveFirst(); !rows.IsEOF(); rows.MoveNext()) {
            row = COpmlOutline();
            rows.Fetch();
            m_writeList.push_back(row);
        }
        rows.Close();
    }

    const std::string header = OpmlHeaderText(DateCreatedText(LocalNow()), ownerName, site);
    if (!m_document.loadXML(header)) {
        return false;
    }
    XmlNode body = m_document.selectSingleNode("opml/body");
    for (const COpmlOutline& record : m_writeList) {
        XmlNode outline = m_document.createNode("outline");
        body.appendChild(outline);
        // Other readers list an outline by its text: it carries the title too.
        outline.setAttribute("text", record.title);
        outline.setAttribute("title", record.title);
        outline.setAttribute("type", "rss");
        outline.setAttribute("xmlUrl", record.xmlUrl);
        outline.setAttribute("htmlUrl", record.htmlUrl);
        outline.setAttribute("description", "");
    }
    return m_document.save(path);
}

bool COpmlDocument::ReadOutlines(const std::string& address, AddressOrigin origin,
                                 const FetchOptions& fetch) {
    m_readList.clear();
    if (!m_document.load(address, origin, fetch)) {
        return false;
    }
    CollectOutlines();
    return true;
}

bool COpmlDocument::ReadOutlinesFromBytes(std::string_view bytes, std::string_view httpCharset,
                                          const XmlParseLimits& limits) {
    m_readList.clear();
    if (!m_document.loadBytes(bytes, httpCharset, limits)) {
        return false;
    }
    CollectOutlines();
    return true;
}

bool COpmlDocument::IsOpml() const {
    return m_document.documentElement().name() == "opml";
}

void COpmlDocument::CollectOutlines() {
    std::vector<XmlNode> outlines = m_document.selectNodes("opml/body/outline");
    if (outlines.size() == 1) {
        // A single top-level outline is a folder wrapping the list.
        outlines = m_document.selectNodes("opml/body/outline/outline");
    }
    m_readList.reserve(outlines.size());
    for (const XmlNode& node : outlines) {
        COpmlOutline& outline = m_readList.emplace_back();
        const auto copy = [&node](auto& field, std::size_t limit, const char* name) {
            CopyToCodePageField(field, limit, node.getAttribute(name).value_or(""));
        };
        copy(outline.text, kMaxOutlineFieldBytes, "text");
        copy(outline.title, kMaxOutlineFieldBytes, "title");
        copy(outline.xmlUrl, kMaxOutlineAddressBytes, "xmlUrl");
        copy(outline.htmlUrl, kMaxOutlineAddressBytes, "htmlUrl");
    }
}
