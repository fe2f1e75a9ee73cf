// The user's credential for the live-traffic web service: finding, reading and creating
// "RealTraffic.lic".
#include "feed/credential.h"

#include <fstream>
#include <system_error>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "foundation/file_utils.h"
#include "foundation/log.h"

std::string rtCredential;

namespace {

constexpr const char* fileName = "RealTraffic.lic";
constexpr const char* placeholder = "fill in your license here";

bool lf_exists(const std::filesystem::path& path) {
    std::error_code ec;
    const bool found = std::filesystem::exists(path, ec);
    if (ec) throw std::filesystem::filesystem_error("exists", path, ec);
    return found;
}

bool lf_usable(const std::string& credential) { return !credential.empty() && credential != placeholder; }

}  // namespace

std::string gf_maskedCredential(const std::string& credential) {
    if (credential.empty() || credential == placeholder || credential == "?") return credential;
    if (credential.size() <= 4) return std::string(credential.size(), '*');
    return "..." + credential.substr(credential.size() - 4);
}

std::string lf_readRtCredential(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    try {
        const nlohmann::json file = nlohmann::json::parse(in);
        if (!file.is_object()) throw nlohmann::json::type_error::create(302, "the file is not a JSON object", nullptr);
        const auto member = file.find("License");
        if (member == file.end() || member->is_null()) return "?";
        return member->get<std::string>();
    } catch (const nlohmann::json::exception& e) {
        throw ovk::UserErrorException(901, fmt::format("no license found in {} {}, problem:", path.string(), e.what()));
    }
}

void gf_findRtCredential() {
    rtCredential.clear();
    const std::filesystem::path appFile = gf_getAppDataPath() / "InsideSystems" / fileName;
    const std::filesystem::path localFile = std::filesystem::path(fileName);

    std::filesystem::path chosen = localFile;
    if (lf_exists(appFile)) {
        if (lf_exists(localFile)) {
            const std::string appCredential = lf_readRtCredential(appFile);
            const std::string localCredential = lf_readRtCredential(localFile);
            if (lf_usable(localCredential) && localCredential != appCredential) {
                gf_log(fmt::format("\n{}Two different RT licenses found:", "===> "));
                gf_log(fmt::format("\"{}\" with \"{}\"", appFile.string(), gf_maskedCredential(appCredential)));
                gf_log(fmt::format("\"{}\" with \"{}\"", localFile.string(), gf_maskedCredential(localCredential)));
                gf_log("Delete the one that is outdated, probably from the RT app you are no longer using and "
                       "updating?\n");
                throw ovk::UserErrorException(
                    900, "You have two different RT licenses? One from the RealTraffic app and one here, see the "
                         "Log.txt.");
            }
        }
        chosen = appFile;
    }

    if (lf_exists(chosen)) {
        rtCredential = lf_readRtCredential(chosen);
        if (lf_usable(rtCredential)) {
            gf_log(fmt::format("Your RealTraffic license was taken from \"{}\"", chosen.string()));
            return;
        }
        gf_log(fmt::format("No valid RT license in your file: \"{}\", license: \"{}\"", chosen.string(),
                           gf_maskedCredential(rtCredential)));
    }
    throw ovk::UserErrorException(
        899, fmt::format("No RealTraffic license found, note that no license usage of {} has been discontinued ...",
                         "Vexa"));
}

void gf_createRtCredentialFile() {
    const nlohmann::json file{{"License", placeholder}, {"Name", "not relevant"}};
    const std::filesystem::path path = std::filesystem::path(fileName);
    // Written aside and renamed, so that a failed write never leaves half a file.
    const std::filesystem::path temporary = std::filesystem::path(std::string(fileName) + ".tmp");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << file.dump(4) << '\n';
        out.flush();
        if (!out) {
            gf_logError(fmt::format("{} could not be written?", path.string()));
            return;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        gf_logError(fmt::format("{} could not be written? {}", path.string(), ec.message()));
        return;
    }
    gf_log(fmt::format("A RealTraffic license file \"{}\" created to fill in your license", path.string()));
}
