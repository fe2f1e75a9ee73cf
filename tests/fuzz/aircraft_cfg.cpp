// The aircraft.cfg reader with its section rules and type determination, over the bytes of one file in
// any encoding. The first byte picks the reader: odd for the IVAO model packages, even for the others.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "catalogue/aircraft_cfg.h"
#include "catalogue/livery_record.h"
#include "catalogue/livery_sections.h"
#include "catalogue/reference_db.h"
#include "catalogue/scan_reports.h"

namespace {

// A few known types, airlines, fixes and registrations, so that the sections are read to the end.
void loadSmallDatabase() {
    static const bool loaded = [] {
        for (const char* type : {"B738", "A320", "A319", "C172", "B77W"}) knownAircraftTypes.insert(type);
        largeTypes.insert("B738");
        largeTypes.insert("A320");
        heavyTypes.insert("B77W");
        for (const char* airline : {"KLM", "DLH", "BAW", "ZZZ", "PVT"}) icaoAirlines.insert(airline);
        modelFixTable["A20N"] = "A320";
        registrationTable["D-ABCD"] = DbaseReg{"DLH", "A320", "", false};
        registrationTable["N172"] = DbaseReg{"PVT", "C172", "", false};
        excludedTitles = {"Excluded"};
        lf_indexExcludedTitles();
        return true;
    }();
    (void)loaded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    loadSmallDatabase();
    if (size == 0) return 0;
    const bool ivao = (data[0] & 1) != 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string path = ivao ? "/nowhere/IVAO_MTL/SimObjects/Airplanes/IVAO_B738WLfa/aircraft.cfg"
                                  : "/nowhere/pkg/SimObjects/Airplanes/a/aircraft.cfg";
    (void)lf_liveriesFromCfgText(1, bytes, path, ivao);
    lf_clearScanLists();
    modelFixes.clear();
    excludedTitles = {"Excluded"};
    lf_indexExcludedTitles();
    return 0;
}
