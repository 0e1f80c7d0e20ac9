#include "feeds/search_template.h"

#include "base/ascii.h"
#include "base/charset.h"
#include "feeds/services_config.h"

namespace {

enum class Placeholder { kNone, kWord, kPage, kCount };

struct PlaceholderName {
    std::string_view text;
    Placeholder kind;
};

constexpr PlaceholderName kPlaceholders[] = {
    {"{word}", Placeholder::kWord},
    {"{page}", Placeholder::kPage},
    {"{count}", Placeholder::kCount},
};

// The placeholder that starts `text`, and its length.
Placeholder PlaceholderAt(std::string_view text, std::size_t* length) {
    for (const PlaceholderName& name : kPlaceholders) {
        if (text.starts_with(name.text)) {
            *length = name.text.size();
            return name.kind;
        }
    }
    return Placeholder::kNone;
}

// Where the scheme and host end ("/" or "?" follows them), or npos.
std::size_t AuthorityEnd(std::string_view value) {
    const std::size_t scheme = value.find("://");
    return scheme == std::string_view::npos ? scheme : value.find_first_of("/?", scheme + 3);
}

bool IsPercentEncodingFree(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

std::string PercentEncoded(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsPercentEncodingFree(byte)) {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0x0F]);
        }
    }
    return out;
}

}  // namespace

bool IsSearchTemplate(std::string_view value) {
    const std::size_t authorityEnd = AuthorityEnd(value);
    if (authorityEnd == std::string_view::npos || !IsServiceBase(value.substr(0, authorityEnd))) {
        return false;
    }
    bool hasWord = false;
    for (std::size_t i = authorityEnd; i < value.size(); ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        if (c <= 0x20 || c == 0x7F || c == '}') {
            return false;
        }
        if (c == '{') {
            std::size_t length = 0;
            const Placeholder kind = PlaceholderAt(value.substr(i), &length);
            if (kind == Placeholder::kNone) {
                return false;
            }
            hasWord = hasWord || kind == Placeholder::kWord;
            i += length - 1;
        }
    }
    return hasWord;
}

std::string_view SearchTemplateBase(std::string_view addressTemplate) {
    return addressTemplate.substr(0, AuthorityEnd(addressTemplate));
}

std::string ExpandSearchTemplate(std::string_view addressTemplate, int pageIndex, int itemsPerPage,
                                 std::string_view word, bool gbkWord) {
    std::string wireWord;
    if (!gbkWord || !ConvertCharset("UTF-8", "GB18030", word, &wireWord)) {
        wireWord = std::string(word);
    }
    wireWord = PercentEncoded(wireWord);
    std::string address;
    // One pass from left to right: what a placeholder puts in is never looked at again.
    for (std::size_t i = 0; i < addressTemplate.size(); ++i) {
        std::size_t length = 0;
        const Placeholder kind = PlaceholderAt(addressTemplate.substr(i), &length);
        if (kind == Placeholder::kNone) {
            address.push_back(addressTemplate[i]);
            continue;
        }
        address += kind == Placeholder::kWord
                       ? wireWord
                       : std::to_string(kind == Placeholder::kPage ? pageIndex : itemsPerPage);
        i += length - 1;
    }
    return address;
}

bool TemplateTakesGbk(std::string_view addressTemplate, bool serviceTakesGbk) {
    const std::size_t query = addressTemplate.find('?');
    if (query == std::string_view::npos) {
        return serviceTakesGbk;
    }
    std::string_view rest = addressTemplate.substr(query + 1);
    while (!rest.empty()) {
        const std::size_t end = rest.find('&');
        const std::string_view parameter = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (StartsWithIgnoreAsciiCase(parameter, "ie=")) {
            const std::string_view label = parameter.substr(3);
            return EqualsIgnoreAsciiCase(label, "gb2312") || EqualsIgnoreAsciiCase(label, "gbk") ||
                   EqualsIgnoreAsciiCase(label, "gb18030");
        }
    }
    return serviceTakesGbk;
}
