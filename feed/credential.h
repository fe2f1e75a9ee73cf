#pragma once
// The user's credential for the live-traffic web service, kept in "RealTraffic.lic".

#include <filesystem>
#include <string>

// The credential used by the login; emptied at the start of every search.
extern std::string rtCredential;

// Finds and reads the credential; throws ovk::UserErrorException 899, 900 or 901.
void gf_findRtCredential();

// The "License" member of a credential file: "" when it cannot be opened, "?" when the member is
// missing or null; throws user error 901 for malformed JSON or a non-string member.
std::string lf_readRtCredential(const std::filesystem::path& path);

// Writes a credential file to be filled in into the current folder.
void gf_createRtCredentialFile();

// The credential as it may appear in the log: at most its last four characters.
std::string gf_maskedCredential(const std::string& credential);
