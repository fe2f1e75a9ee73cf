#include "catalogue/livery_scan.h"

#include "catalogue/livery_db.h"
#include "foundation/log.h"
#include "foundation/settings.h"

void gf_scanLiveries() {
    lf_carryOutLiveryClear();
    if (SCAN_LIVERIES.value.load())
        gf_log("Scanning the installed packages for liveries is not available in this version; "
               "the installed liveries are read from the scan cache");
    lf_processLiveries();
}
