// dbtool: makes the downloadable data archives from plain source files.
//   dbtool dbase <plain database xml> <dbase.zip>        enciphers the codes, writes temp2.xml into the zip
//   dbtool regcodes <plain AIG-regcodes xml> <AIG-regcodes.zip>
//   dbtool encipher airline|type|reg <code>...          prints the stored form of each code
#include <fmt/format.h>

#include <cstring>
#include <exception>

#include "tools/dbtool/dbtool.h"

namespace {
int usage() {
    fmt::print(stderr, "usage: dbtool dbase <plain.xml> <dbase.zip>\n"
                       "       dbtool regcodes <plain.xml> <AIG-regcodes.zip>\n"
                       "       dbtool encipher airline|type|reg <code>...\n");
    return 2;
}

int archive(const char* kind, const char* source, const char* zipPath) {
    pugi::xml_document doc;
    if (auto r = doc.load_file(source); !r) {
        fmt::print(stderr, "cannot read {}: {}\n", source, r.description());
        return 1;
    }
    const bool database = std::strcmp(kind, "dbase") == 0;
    if (database)
        dbtool::encipherDatabase(doc);
    else
        dbtool::encipherRegcodes(doc);
    dbtool::writeZip(zipPath, database ? "temp2.xml" : "AIG-regcodes.xml", dbtool::xmlText(doc));
    fmt::print("{} written\n", zipPath);
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 4 && (std::strcmp(argv[1], "dbase") == 0 || std::strcmp(argv[1], "regcodes") == 0))
            return archive(argv[1], argv[2], argv[3]);
        if (argc >= 4 && std::strcmp(argv[1], "encipher") == 0) {
            for (int i = 3; i < argc; ++i) {
                if (std::strcmp(argv[2], "airline") == 0)
                    fmt::print("{}\n", dbtool::encryptAirline(argv[i]));
                else if (std::strcmp(argv[2], "type") == 0)
                    fmt::print("{}\n", dbtool::encryptModel(argv[i]));
                else if (std::strcmp(argv[2], "reg") == 0)
                    fmt::print("{}\n", dbtool::encryptString(argv[i]));
                else
                    return usage();
            }
            return 0;
        }
        return usage();
    } catch (const std::exception& e) {
        fmt::print(stderr, "dbtool: {}\n", e.what());
        return 1;
    }
}
