// Fuzz target: the text of a package's manifest.json. Syntax errors and values that are not texts end in
// the JSON library's own errors, which the manifest search reports; nothing else may escape.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include <nlohmann/json.hpp>

#include "airports/manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        lf_manifestFromText(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const nlohmann::json::exception&) {}
    return 0;
}
