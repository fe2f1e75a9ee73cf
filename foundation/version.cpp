#include "foundation/version.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <regex>
#include <stdexcept>

#include "foundation/log.h"

VersionData programVersion{};

namespace {

std::uint32_t parseNumber(const std::string& digits) {
    // Only plain decimal digits: a sign or any other character makes the number invalid.
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
        throw std::runtime_error("parse error in version string");
    try {
        const unsigned long value = std::stoul(digits);
        if (value > 0xffffffffUL) throw std::out_of_range("version number");
        return static_cast<std::uint32_t>(value);
    } catch (const std::logic_error&) {
        throw std::runtime_error("parse error in version string");
    }
}

}  // namespace

VersionData::VersionData(std::string_view text) {
    if (text.empty()) return;
    try {
        static const std::regex pattern(R"((\d+).(\d+).(\d+))");
        const std::string input(text);
        std::smatch match;
        if (std::regex_search(input, match, pattern)) {
            major = parseNumber(match[1].str());
            minor = parseNumber(match[2].str());
            patch = parseNumber(match[3].str());
            return;
        }
        const auto json = nlohmann::json::parse(input);
        if (json.is_object()) {
            major = json.at("major").get<std::uint32_t>();
            minor = json.at("minor").get<std::uint32_t>();
            patch = json.at("patch").get<std::uint32_t>();
        }
    } catch (const std::exception& e) {
        gf_log(fmt::format("{} exception: {}", "VersionData", e.what()));
    }
}

std::string VersionData::toString() const { return fmt::format("{}.{}.{}", major, minor, patch); }

std::string gf_versionString(const VersionData& version) { return version.toString(); }
