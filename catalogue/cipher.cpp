#include "catalogue/cipher.h"

#include <fmt/format.h>

#include <stdexcept>

#include "foundation/log.h"

char gf_decryptChar(char c, std::int32_t amount) {
    std::int32_t r = static_cast<std::int32_t>(static_cast<signed char>(c)) - amount;
    if (r < cipher::alphabetFirst)
        r += cipher::alphabetSize;
    else if (r > cipher::alphabetLast)
        r -= cipher::alphabetSize;
    return static_cast<char>(static_cast<signed char>(r));
}

std::string gf_decryptAirline(std::string_view stored) {
    if (stored.empty()) return {};
    if (stored.size() == 6) {
        std::string plain(3, ' ');
        for (std::size_t j = 0; j < 3; ++j) {
            const auto& k = cipher::airlineKey[j];
            plain[j] = gf_decryptChar(stored[static_cast<std::size_t>(k.position)], k.shift);
        }
        return plain;
    }
    if (stored.size() == 3) {
        gf_logError(fmt::format("Unencrypted airline {} in decrypt airl?", stored));
        return std::string(stored);
    }
    throw std::runtime_error(fmt::format("decrypt airl \"{}\" error", stored));
}

namespace {
template <std::size_t N>
std::string decryptWith(std::string_view stored, const std::array<cipher::KeyPair, N>& key) {
    std::string plain;
    plain.reserve(N);
    for (const auto& k : key) {
        const auto pos = static_cast<std::size_t>(k.position);
        if (pos >= stored.size()) break;
        plain.push_back(gf_decryptChar(stored[pos], k.shift));
    }
    return plain;
}
}  // namespace

std::string gf_decryptModel(std::string_view stored) {
    if (stored.empty()) return {};
    if (stored.size() == 3) return decryptWith(stored, cipher::typeKey3);
    if (stored.size() == 4) return decryptWith(stored, cipher::typeKey4);
    return decryptWith(stored, cipher::typeKey2);
}

std::string gf_decryptString(std::string_view stored) {
    std::string plain(stored);
    for (std::size_t i = 0; i < plain.size(); ++i) {
        if (plain[i] == '+') continue;
        // The key has a shift for the first 24 positions only.
        if (i >= cipher::registrationKey.size())
            throw std::out_of_range(fmt::format("decrypt reg \"{}\" error", stored));
        plain[i] = gf_decryptChar(plain[i], cipher::registrationKey[i]);
    }
    return plain;
}
