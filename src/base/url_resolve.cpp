#include "base/url_resolve.h"

#include <algorithm>
#include <vector>

#include "base/ascii.h"
#include "base/http_fetch.h"

namespace {

bool HasScheme(std::string_view address) {
    const std::size_t colon = address.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return false;
    }
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = address[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))) {
            return false;
        }
    }
    return true;
}

// The path with its "." and ".." steps taken; it starts with "/".
std::string WithoutDotSteps(std::string_view path) {
    std::vector<std::string_view> steps;
    std::size_t start = 1;
    while (start <= path.size()) {
        const std::size_t slash = path.find('/', start);
        const std::size_t end = slash == std::string_view::npos ? path.size() : slash;
        const std::string_view step = path.substr(start, end - start);
        const bool last = slash == std::string_view::npos;
        if (step == "..") {
            if (!steps.empty()) {
                steps.pop_back();
            }
            if (last) {
                steps.emplace_back();
            }
        } else if (step == ".") {
            if (last) {
                steps.emplace_back();
            }
        } else {
            steps.push_back(step);
        }
        start = end + 1;
    }
    std::string result;
    for (std::string_view step : steps) {
        result += "/";
        result += step;
    }
    return result.empty() ? "/" : result;
}

}  // namespace

std::string ResolveAddress(std::string_view base, std::string_view reference) {
    reference = TrimAsciiBlanks(reference);
    reference = reference.substr(0, reference.find('#'));
    if (HasScheme(reference)) {
        return std::string(reference);
    }
    if (!IsHttpAddress(base)) {
        return {};
    }
    base = base.substr(0, base.find('#'));
    const std::size_t schemeEnd = base.find("://") + 3;
    const std::size_t pathStart = std::min(base.find_first_of("/?", schemeEnd), base.size());
    const std::string_view origin = base.substr(0, pathStart);
    const std::size_t queryStart = std::min(base.find('?', pathStart), base.size());
    std::string_view basePath = base.substr(pathStart, queryStart - pathStart);
    if (basePath.empty()) {
        basePath = "/";
    }
    if (reference.starts_with("//")) {
        return std::string(base.substr(0, schemeEnd - 2)) + std::string(reference);
    }
    if (reference.empty()) {
        return std::string(base);
    }
    if (reference.starts_with("?")) {
        return std::string(origin) + std::string(basePath) + std::string(reference);
    }
    const std::size_t queryAt = std::min(reference.find('?'), reference.size());
    const std::string_view refPath = reference.substr(0, queryAt);
    const std::string_view refQuery = reference.substr(queryAt);
    std::string path;
    if (refPath.starts_with("/")) {
        path = refPath;
    } else {
        path = std::string(basePath.substr(0, basePath.rfind('/') + 1)) + std::string(refPath);
    }
    return std::string(origin) + WithoutDotSteps(path) + std::string(refQuery);
}
