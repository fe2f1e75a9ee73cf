#include "engine/static_jobs.h"

std::vector<StaticJob> staticJobs;
