#include "feeds/services_config.h"

#include <fstream>
#include <sstream>

#include "base/ascii.h"
#include "feeds/search_template.h"

namespace {

struct DefaultBase {
    std::string_view key;
    std::string_view base;
};

constexpr DefaultBase kDefaults[] = {
    {"search.baidu", "http://news.baidu.com"},     {"search.google", "http://news.google.com"},
    {"search.yahoo", "http://news.cn.yahoo.com"},  {"search.sogou", "http://news.sogou.com"},
    {"site.publisher", "http://www.vellmark.com"}, {"portal.baidu", "http://www.baidu.com"},
    {"portal.google", "http://www.google.cn"},     {"portal.yahoo", "http://cn.yahoo.com"},
    {"portal.sohu", "http://www.sohu.com"},        {"link.tieba", "http://tieba.baidu.com"},
    {"link.schedule", "http://www.vellmark.com"},
};

}  // namespace

bool IsServiceBase(std::string_view value) {
    std::string_view rest;
    if (value.starts_with("http://")) {
        rest = value.substr(7);
    } else if (value.starts_with("https://")) {
        rest = value.substr(8);
    } else {
        return false;
    }
    if (rest.empty()) {
        return false;
    }
    const std::size_t colon = rest.find(':');
    const std::string_view host = rest.substr(0, colon);
    if (host.empty()) {
        return false;
    }
    for (char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '.' || c == '-';
        if (!ok) {
            return false;
        }
    }
    if (colon != std::string_view::npos) {
        const std::string_view port = rest.substr(colon + 1);
        if (port.empty() || port.size() > 5) {
            return false;
        }
        for (char c : port) {
            if (c < '0' || c > '9') {
                return false;
            }
        }
    }
    return true;
}

ServicesConfig::ServicesConfig() {
    Parse("");
}

std::vector<ServicesConfig::BadLine> ServicesConfig::Parse(std::string_view text) {
    std::map<std::string, std::string, std::less<>> bases;
    for (const DefaultBase& entry : kDefaults) {
        bases.emplace(entry.key, entry.base);
    }
    std::map<std::string, std::string, std::less<>> templates;
    std::vector<BadLine> bad;
    for (int number = 1; !text.empty(); ++number) {
        const std::size_t end = text.find('\n');
        const std::string_view written = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const std::string_view line = TrimAsciiBlanks(written.substr(0, written.find('#')));
        if (line.empty()) {
            continue;
        }
        const std::size_t equals = line.find('=');
        const std::string_view key = TrimAsciiBlanks(line.substr(0, equals));
        const std::string_view value = equals == std::string_view::npos
                                           ? std::string_view()
                                           : TrimAsciiBlanks(line.substr(equals + 1));
        const auto it = bases.find(key);
        if (equals == std::string_view::npos || it == bases.end()) {
            bad.push_back({number, std::string(TrimAsciiBlanks(written))});
        } else if (IsServiceBase(value)) {
            it->second = std::string(value);
            templates.erase(it->first);
        } else if (key.starts_with("search.") && IsSearchTemplate(value)) {
            it->second = std::string(SearchTemplateBase(value));
            templates.insert_or_assign(it->first, std::string(value));
        } else {
            bad.push_back({number, std::string(TrimAsciiBlanks(written))});
        }
    }
    std::lock_guard lock(m_mutex);
    m_bases = std::move(bases);
    m_templates = std::move(templates);
    return bad;
}

std::vector<ServicesConfig::BadLine> ServicesConfig::LoadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (in) {
        text << in.rdbuf();
    }
    return Parse(text.str());
}

std::string ServicesConfig::Base(std::string_view key) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_bases.find(key);
    return it == m_bases.end() ? std::string() : it->second;
}

std::string ServicesConfig::SearchTemplate(std::string_view key) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_templates.find(key);
    return it == m_templates.end() ? std::string() : it->second;
}

ServicesConfig& Services() {
    static ServicesConfig services;
    return services;
}
