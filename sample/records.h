// The person records of the member table and of the 1000-byte person layout.
#pragma once

#include <cstdint>
#include <string>

#include "sample/generator.h"
#include "sample/layouts.h"
#include "sample/people.h"

namespace sample {

// Member i of the member table.
Record<kMemberLayout> MemberRecord(const Gen& g, std::int64_t i, const History& h, Rng& r, const Person& p);

Record<kPerson1000Layout> Person1000Record(Rng& r, const Person& p, const std::string& code);

}  // namespace sample
