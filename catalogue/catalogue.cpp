#include "catalogue/catalogue.h"

#include "catalogue/livery_record.h"
#include "catalogue/scan_reports.h"
#include "catalogue/similar_models.h"

void gf_resetCatalogue() {
    gf_resetLiveryMatching();
    gf_resetLiveryDatabase();
    gf_resetSimilarModels();
    gf_resetLiveryRecords();
    lf_clearScanLists();
    gf_resetReferenceDatabase();
}
