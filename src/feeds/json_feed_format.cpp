// JSON Feed 1.0 and 1.1: one JSON object whose members name the channel's fields, with an
// array of items mapped the way RSS 2.0 and Atom are.

#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "base/charset.h"
#include "base/text_util.h"
#include "feeds/feed_format.h"

namespace {

using Json = nlohmann::json;

constexpr std::string_view kVersionPrefixes[] = {"https://jsonfeed.org/version/",
                                                 "http://jsonfeed.org/version/"};

// A member's text: a string as it is, a number as JSON writes it; "" for anything else, so
// that a document of the wrong shape fills nothing instead of failing.
std::string Text(const Json& object, const char* name) {
    if (!object.is_object()) {
        return {};
    }
    const auto member = object.find(name);
    if (member == object.end()) {
        return {};
    }
    if (member->is_string()) {
        return member->get<std::string>();
    }
    if (member->is_number()) {
        return member->dump();
    }
    return {};
}

const Json* Member(const Json& object, const char* name) {
    if (!object.is_object()) {
        return nullptr;
    }
    const auto member = object.find(name);
    return member == object.end() ? nullptr : &*member;
}

// The names of 1.1's `authors`, else 1.0's `author`, joined by ", ".
std::string AuthorNames(const Json& object) {
    std::string names;
    const auto add = [&names](const Json& author) {
        const std::string name = Text(author, "name");
        if (!name.empty()) {
            names += (names.empty() ? "" : ", ") + name;
        }
    };
    if (const Json* authors = Member(object, "authors"); authors && authors->is_array()) {
        for (const Json& author : *authors) {
            add(author);
        }
    }
    if (names.empty()) {
        if (const Json* author = Member(object, "author")) {
            add(*author);
        }
    }
    return names;
}

std::string JoinedTags(const Json& item) {
    std::string tags;
    if (const Json* list = Member(item, "tags"); list && list->is_array()) {
        for (const Json& tag : *list) {
            if (tag.is_string() && !tag.get<std::string>().empty()) {
                tags += (tags.empty() ? "" : ", ") + tag.get<std::string>();
            }
        }
    }
    return tags;
}

std::string FirstAttachmentUrl(const Json& item) {
    if (const Json* attachments = Member(item, "attachments");
        attachments && attachments->is_array()) {
        for (const Json& attachment : *attachments) {
            std::string url = Text(attachment, "url");
            if (!url.empty()) {
                return url;
            }
        }
    }
    return {};
}

// Plain text shown as HTML: escaped, its line breaks kept.
std::string PlainTextAsHtml(std::string_view text) {
    std::string html;
    for (const char c : EscapeMarkup(text)) {
        if (c == '\n') {
            html += "<br>";
        } else if (c != '\r') {
            html += c;
        }
    }
    return html;
}

// The HTML content, else the plain text one, else the summary.
std::string Content(const Json& item) {
    std::string html = Text(item, "content_html");
    if (!html.empty()) {
        return html;
    }
    const std::string text = Text(item, "content_text");
    return PlainTextAsHtml(text.empty() ? Text(item, "summary") : text);
}

class JsonFeedFormat final : public FeedFormat {
public:
    JsonFeedFormat(Json document, std::string name)
        : m_document(std::move(document)), m_name(std::move(name)) {
        if (const Json* items = Member(m_document, "items"); items && items->is_array()) {
            for (const Json& item : *items) {
                if (item.is_object()) {
                    m_items.push_back(&item);
                }
            }
        }
    }

    JsonFeedFormat(const JsonFeedFormat&) = delete;
    JsonFeedFormat& operator=(const JsonFeedFormat&) = delete;

    std::string_view Name() const override { return m_name; }

    void ReadChannel(CRssChannel* channel) const override {
        PutField(channel->title, Text(m_document, "title"));
        PutField(channel->link, Text(m_document, "home_page_url"));
        PutDescription(channel->description, PlainTextAsHtml(Text(m_document, "description")));
        PutField(channel->language, Text(m_document, "language"));
        PutField(channel->managingEditor, AuthorNames(m_document));
        PutField(channel->image, Text(m_document, "icon"));
        PutField(channel->url, Text(m_document, "feed_url"));
    }

    std::size_t ItemCount() const override { return m_items.size(); }

    void ReadItem(std::size_t index, CRssItem* record) const override {
        if (index >= m_items.size()) {
            return;
        }
        const Json& item = *m_items[index];
        PutField(record->title, Text(item, "title"));
        std::string link = Text(item, "url");
        PutField(record->link, link.empty() ? Text(item, "external_url") : link);
        PutDescription(record->description, Content(item));
        std::string author = AuthorNames(item);
        PutField(record->author, author.empty() ? AuthorNames(m_document) : author);
        PutField(record->category, JoinedTags(item));
        PutField(record->enclosure, FirstAttachmentUrl(item));
        PutField(record->guid, Text(item, "id"));
        PutField(record->pubDate,
                 FirstReadableDate(Text(item, "date_published"), Text(item, "date_modified")));
    }

private:
    Json m_document;
    std::string m_name;
    std::vector<const Json*> m_items;  // the objects of `items`, into m_document
};

// "JSON Feed 1.0" for version 1, "JSON Feed 1.1" for 1.1; nothing for a document that names
// no version of the format.
std::optional<std::string> FormatName(const Json& document) {
    const std::string version = Text(document, "version");
    for (std::string_view prefix : kVersionPrefixes) {
        if (version.starts_with(prefix) && version.size() > prefix.size()) {
            const std::string number = version.substr(prefix.size());
            return "JSON Feed " + (number == "1" ? std::string("1.0") : number);
        }
    }
    return std::nullopt;
}

// The bytes as UTF-8: JSON is UTF-8, but a server may send a Chinese feed in GBK.
std::string AsUtf8(std::string_view bytes, std::string_view httpCharset) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    if (IsValidUtf8(bytes)) {
        return std::string(bytes);
    }
    std::string converted;
    if (!httpCharset.empty() &&
        ConvertCharset(DecodingCharsetFor(httpCharset).c_str(), "UTF-8", bytes, &converted)) {
        return converted;
    }
    return DecodeUndeclared(bytes);
}

}  // namespace

std::unique_ptr<FeedFormat> JsonFeedFormatOf(std::string_view bytes, std::string_view httpCharset,
                                             std::string* error) {
    Json document = Json::parse(AsUtf8(bytes, httpCharset), nullptr, false);
    if (document.is_discarded()) {
        *error = "not well-formed JSON";
        return nullptr;
    }
    std::optional<std::string> name = FormatName(document);
    if (!name) {
        *error = "not a feed: a JSON document that names no version of JSON Feed";
        return nullptr;
    }
    return std::make_unique<JsonFeedFormat>(std::move(document), std::move(*name));
}
