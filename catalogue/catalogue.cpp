#include "catalogue/catalogue.h"

#include "catalogue/livery_record.h"
#include "catalogue/similar_models.h"

void gf_resetCatalogue() {
    gf_resetLiveryMatching();
    gf_resetLiveryDatabase();
    gf_resetSimilarModels();
    gf_resetLiveryRecords();
    gf_resetReferenceDatabase();
}
