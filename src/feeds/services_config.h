#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// The scheme and host of every outside address the program uses, read from the optional
// data/services.conf ("key = value" lines, "#" starts a comment). Each value has the form
// http://host[:port] (or https) without a path; a search.* value may instead be a whole
// address template (see search_template.h), which replaces the service's built-in address.
// Compiled-in defaults apply for every key the file lacks; a line that is not understood
// (no "=", an unknown key, another value) changes nothing and is handed back to the caller,
// who reports it.
//
// Keys: search.baidu, search.google, search.yahoo, search.sogou (the news-search services),
// site.publisher (update page, link-panel pages, OPML export texts), portal.baidu,
// portal.google, portal.yahoo, portal.sohu (the search bar's portal buttons), link.tieba and
// link.schedule (the link panel's outside pages).
class ServicesConfig {
public:
    ServicesConfig();

    // A line that was not understood, as written, and its number counted from 1.
    struct BadLine {
        int number = 0;
        std::string text;
        bool operator==(const BadLine&) const = default;
    };

    // Replaces the current values with the defaults overlaid by `text`.
    std::vector<BadLine> Parse(std::string_view text);
    // Parse() of the file's contents; a missing file leaves the defaults.
    std::vector<BadLine> LoadFile(const std::string& path);

    // The base address for `key` ("http://host[:port]"), or "" for an unknown key. For a key
    // given a template, the template's scheme and host.
    std::string Base(std::string_view key) const;
    // The address template given for the search.* `key`, or "" when it has a host only.
    std::string SearchTemplate(std::string_view key) const;

private:
    // Written by the window thread at start-up (and by tests), read by the update threads.
    mutable std::mutex m_mutex;
    std::map<std::string, std::string, std::less<>> m_bases;      // guarded by m_mutex
    std::map<std::string, std::string, std::less<>> m_templates;  // guarded by m_mutex
};

// The process-wide configuration.
ServicesConfig& Services();

// Whether `value` is an acceptable base: http:// or https://, a host, an optional port,
// nothing after it.
bool IsServiceBase(std::string_view value);
