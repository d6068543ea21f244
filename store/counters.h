// Named sequence counters in F34.DAT: 30-byte records holding two 10-character
// key parts and the counter value ("%-10s%-10s%-10ld"). A counter without a
// record reads as 0.
#pragma once

#include <string_view>

namespace store {

inline constexpr char kCountersFile[] = "F34.DAT";
inline constexpr long kCounterRecordLength = 30;
inline constexpr long kLargestCounter = 999'999'999;

enum CounterOperation { kCounterRead = 0, kCounterNext = 1, kCounterStore = 2 };

// kCounterRead: value = the counter. kCounterNext: value = the counter's next
// value in a sequence of `width` digits (1..9, otherwise 6), which is stored.
// kCounterStore: stores value. 1 on success, 0 on failure.
int MacroCodeCad(std::string_view part1, std::string_view part2, long& value, int width, int operation);

[[nodiscard]] int ReadCounter(std::string_view part1, std::string_view part2, long& value);
int StoreCounter(std::string_view part1, std::string_view part2, long value);

}  // namespace store
