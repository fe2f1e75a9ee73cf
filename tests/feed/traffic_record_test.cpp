#include <gtest/gtest.h>

#include "feed/credential.h"
#include "feed/parked_traffic.h"
#include "feed/readers.h"
#include "feed/record_parser.h"
#include "feed/traffic_record.h"
#include "feed/web_api.h"

TEST(AircraftIdentity, InitEmptiesEveryField) {
    AircraftIdentity identity{"KLM", "B738", "EHAM", "EGLL", "KLM123", "a", "b", "PH-BXA", 7};
    gf_initAircraftIdentity(identity);
    EXPECT_TRUE(identity.airline.empty());
    EXPECT_TRUE(identity.icaoType.empty());
    EXPECT_TRUE(identity.origin.empty());
    EXPECT_TRUE(identity.destination.empty());
    EXPECT_TRUE(identity.callsign.empty());
    EXPECT_TRUE(identity.identity6.empty());
    EXPECT_TRUE(identity.identity7.empty());
    EXPECT_TRUE(identity.registration.empty());
    EXPECT_EQ(identity.identityNumber, 0);
}
