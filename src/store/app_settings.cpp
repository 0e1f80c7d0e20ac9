#include "store/app_settings.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

#include "base/ascii.h"
#include "base/atomic_file.h"

namespace {

constexpr char kHeader[] =
    "# Quillon's settings beside sysdata.dat: key = value, one a line. Written by the\n"
    "# program at exit; a value it cannot read counts as its default.\n";

}  // namespace

int CAppSettings::Get(const IntKey& key) const {
    std::string text;
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_values.find(std::string_view(key.name));
        if (it == m_values.end()) {
            return key.defaultValue;
        }
        text = it->second;
    }
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || value < key.minimum || value > key.maximum) {
        return key.defaultValue;
    }
    return value;
}

void CAppSettings::Set(const IntKey& key, int value) {
    std::lock_guard lock(m_mutex);
    m_values[key.name] = std::to_string(std::clamp(value, key.minimum, key.maximum));
}

std::string CAppSettings::Get(const TextKey& key) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_values.find(std::string_view(key.name));
    return it == m_values.end() ? std::string(key.defaultValue) : it->second;
}

void CAppSettings::Set(const TextKey& key, std::string_view value) {
    std::string line(TrimAsciiBlanks(value));
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    std::lock_guard lock(m_mutex);
    m_values[key.name] = std::move(line);
}

void CAppSettings::FromText(std::string_view text) {
    std::map<std::string, std::string, std::less<>> values;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        line = TrimAsciiBlanks(line.substr(0, line.find('#')));
        const std::size_t equals = line.find('=');
        if (line.empty() || equals == std::string_view::npos) {
            continue;  // a comment, a blank line or a line not understood: nothing to keep
        }
        const std::string_view key = TrimAsciiBlanks(line.substr(0, equals));
        if (!key.empty()) {
            values[std::string(key)] = std::string(TrimAsciiBlanks(line.substr(equals + 1)));
        }
    }
    std::lock_guard lock(m_mutex);
    m_values = std::move(values);
}

std::string CAppSettings::ToText() const {
    std::string text = kHeader;
    std::lock_guard lock(m_mutex);
    for (const auto& [key, value] : m_values) {
        text += key + " = " + value + "\n";
    }
    return text;
}

void CAppSettings::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (in) {
        text << in.rdbuf();
    }
    FromText(text.str());
}

bool CAppSettings::Save(const std::string& path, int* errorNumber) const {
    return WriteFileAtomically(path, ToText(), 0644, errorNumber);
}
