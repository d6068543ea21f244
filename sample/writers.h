// The writers of the installation's files, one a file (or one a family of
// files of the same kind, such as the yearly files). MakeSampleInstallation
// calls them in order; each returns false (with g.error) on failure. Writers
// that take an Rng draw in turn from one stream, in the order called.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sample/generator.h"

namespace sample {

// members.cpp
bool WriteMembers(Gen& g);
bool WriteYearlyFiles(Gen& g, std::vector<int>* years_written);

// people_tables.cpp; the three old person tables number their records in one run.
bool WriteStaff(Gen& g, std::uint64_t* index);
bool WriteRelatives(Gen& g, std::uint64_t* index);
bool WriteDonors(Gen& g, std::uint64_t* index);
bool WritePartners(Gen& g);
bool WriteOtherPeople(Gen& g);
bool WritePersons1000(Gen& g);
bool WriteClubAndBranches(Gen& g);

// config.cpp
bool WriteChargeValues(Gen& g, Rng& r);
bool WriteBankAccounts(Gen& g, Rng& r);
bool WriteChargeNames(Gen& g, Rng& r);
bool WriteChargeCodes(Gen& g, Rng& r);
bool WriteCounters(Gen& g, Rng& r);

// tables.cpp
bool WriteReceipts(Gen& g);
bool WriteBankBatches(Gen& g);
bool WriteDeposits(Gen& g);
bool WriteCollectors(Gen& g);
bool WriteSectors(Gen& g);
bool WritePriceList(Gen& g);
bool WriteBillingAgents(Gen& g);
bool WriteNotes(Gen& g);
bool WriteAgenda(Gen& g);

// legacy.cpp
bool WritePhotoTable(Gen& g, std::vector<std::string>* with_files);
bool WritePhotoFiles(Gen& g, const std::vector<std::string>& with_files);
bool WriteReceiptForm(Gen& g, const std::string& rel, std::string_view title, std::size_t width);
bool WriteOldNotes(Gen& g, Rng& r);
bool WriteObsoleteFiles(Gen& g, Rng& r);
bool WriteLegacyCharges(Gen& g);
bool WriteLegacyHistory(Gen& g);
bool WriteLegacyYear(Gen& g, int year);

}  // namespace sample
