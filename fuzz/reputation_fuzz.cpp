// The reputation parser over fuzzed profile and rating pages (GBK or UTF-8, as the pages declare):
// a stop or a record, never a crash; a record's verdict follows the rule, its user id is 32 word
// characters or empty, and its report renders.

#include <cstddef>
#include <cstdint>
#include <string>

#include "jobs/reputation/report.h"
#include "jobs/reputation/reputation.h"
#include "fuzz_support.h"

namespace {

using tarvisk::fuzz::Check;

bool IsWordUnit(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto pieces = tarvisk::fuzz::Pieces(data, size, 2);
    const std::u16string profile = tarvisk::fuzz::PageText(pieces[0]);
    const std::u16string rating = tarvisk::fuzz::PageText(pieces[1]);
    const tarvisk::Date today{2014, 12, 27};

    const auto stop = tarvisk::ProfileStop(profile);
    Check(!profile.empty() || stop.has_value(), "an empty profile stops the query");

    const tarvisk::ProfileFacts read = tarvisk::ReadProfile(profile);
    Check(read.userId.empty() || read.userId.size() == 32, "a user id is 32 characters");
    for (const char16_t c : read.userId)
        Check(IsWordUnit(c), "a user id is made of word characters");
    Check(read.registrationDate.empty() || read.registrationDate.size() == 11, "a date reads as 2014年11月26日");
    Check(!read.registeredOn || !read.registrationDate.empty(), "a registration day comes from a date on the page");

    const auto facts = tarvisk::ParseReputationFacts(profile, rating, today);
    Check(facts.has_value() == read.registeredOn.has_value(), "a profile with a real date gives a record");
    if (!facts)
        return 0;
    Check(facts->verdict == tarvisk::Decide(*facts), "the verdict follows the rule");
    Check(facts->newAccount == (facts->daysSinceRegistration <= 30), "new means 30 days old or younger");
    Check(facts->userId == read.userId && facts->ratingLink == tarvisk::RatingLink(read.userId),
          "the rating link is made of the profile's user id");
    Check(facts->sellerCredit >= 0 && facts->sellerCredit < 1e9 && facts->buyerCredit >= 0 && facts->buyerCredit < 1e9,
          "a credit has at most nine digits");
    Check(facts->goodRate.size() <= 6, "a good rate has at most six characters");

    const std::u16string report = tarvisk::RenderReport(*facts);
    Check(tarvisk::fuzz::Contains(report, facts->ratingLink), "the report links the rating page");
    return 0;
}
