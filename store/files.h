// The data files of an installation, stated once: each file's name, its
// record length, and the fields that more than one part of the program reads,
// by name. The conversion steps, the report and the sample installation use
// these names; a step's own layout table may still say where a field of the
// new record comes from in the old one, since that pairing is the step.
//
// A file's name is spelled as the release that makes it spells it: names are
// found without regard to case, but a new file takes the case it is given.
// A name with a wildcard stands for a folder of files of one layout.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace store {

// A field of a record: its offset and width in bytes.
struct Field {
  std::size_t offset;
  std::size_t width;
  constexpr std::size_t end() const { return offset + width; }
};

// A file of fixed-length records.
struct RecordFile {
  std::string_view name;
  std::size_t length;
};

namespace files {

// ---- settings ---------------------------------------------------------------

// The value table and due-date settings (record 0), 665 bytes from 4.07 on.
inline constexpr RecordFile kConf10{"Conf10.dat", 665};
inline constexpr RecordFile kConf11{"Conf11.dat", 337};  // becomes F18.DAT at 4.31
inline constexpr RecordFile kConf14{"CONF14.DAT", 40};
inline constexpr RecordFile kConfig22{"Config22.dat", 46};

// ---- members and people -------------------------------------------------------

inline constexpr RecordFile kF10R2{"F10r2.dat", 897};   // members before 3.70
inline constexpr RecordFile kF10R3{"F10r3.dat", 1501};  // members, 3.70 to 4.35
inline constexpr RecordFile kF10R4{"F10R4.DAT", 1000};  // members from 4.35 on
inline constexpr RecordFile kF10R4Backup{"F10R4_469.BAK", 1000};
inline constexpr RecordFile kF13{"f13.dat", 478};  // the three tables before 4.00
inline constexpr RecordFile kF14{"f14.dat", 479};
inline constexpr RecordFile kF15{"f15.dat", 538};
inline constexpr RecordFile kF13R0{"F13R0.DAT", 897};
inline constexpr RecordFile kF13R1{"F13R1.DAT", 1000};
inline constexpr RecordFile kF17{"F17.DAT", 896};
inline constexpr RecordFile kF17R0{"F17R0.DAT", 1000};
inline constexpr RecordFile kF11R2{"F11R2.DAT", 1581};
inline constexpr RecordFile kF11R3{"F11R3.DAT", 1000};
inline constexpr RecordFile kF00R0{"F00R0.DAT", 1000};
inline constexpr RecordFile kF01R0{"F01R0.DAT", 814};
inline constexpr RecordFile kF02R1{"F02R1.DAT", 1000};
inline constexpr RecordFile kF09R0{"F09R0.DAT", 815};
inline constexpr RecordFile kF26R0{"F26R0.DAT", 1000};
inline constexpr RecordFile kF28R0{"F28R0.DAT", 1000};

// ---- billing ------------------------------------------------------------------

inline constexpr RecordFile kF22{"F22.DAT", 113};  // due entries, 4.35 to 4.69
inline constexpr RecordFile kF22Backup{"F22.BAK", 113};
inline constexpr RecordFile kF31{"F31.DAT", 172};  // charge kinds from 4.69 on
inline constexpr RecordFile kF14R0{"F14R0.DAT", 311};
inline constexpr RecordFile kF03R0{"F03R0.DAT", 455};
inline constexpr RecordFile kF08R0{"F08R0.DAT", 300};
inline constexpr RecordFile kF08R1{"F08R1.DAT", 1000};
inline constexpr RecordFile kF25R0{"F25R0.DAT", 557};
inline constexpr RecordFile kF24{"F24.DAT", 60};
inline constexpr RecordFile kReg01{"REG01\\*.DAT", 79};   // periods before 4.35
inline constexpr RecordFile kReg04{"REG04\\*.DAT", 113};  // periods from 4.35 on
inline constexpr RecordFile kReg02{"REG02\\A*.DAT", 557};
inline constexpr RecordFile kR50{"R50\\*.DAT", 230};

// ---- other tables ---------------------------------------------------------------

inline constexpr RecordFile kF15R0{"F15R0.DAT", 300};
inline constexpr RecordFile kF15R1{"F15R1.DAT", 900};
inline constexpr RecordFile kF18{"F18.DAT", 337};
inline constexpr RecordFile kF18R0{"F18R0.DAT", 575};
inline constexpr RecordFile kF18R1{"F18R1.DAT", 547};
inline constexpr RecordFile kF18R2{"F18R2.DAT", 810};
inline constexpr RecordFile kF19{"F19.DAT", 300};
inline constexpr RecordFile kF32{"F32.DAT", 260};
inline constexpr RecordFile kF34{"F34.DAT", 30};
inline constexpr RecordFile kF40{"F40.DAT", 500};
inline constexpr RecordFile kPhoneList{"FTEL1.DAT", 40};
inline constexpr RecordFile kR08{"R08\\*.DAT", 160};      // notes before 5.30
inline constexpr RecordFile kR33{"R33\\L33*.DAT", 260};   // notes from 5.30 on

// Every record file above that a converted installation may hold, for the
// report's record counts.
inline constexpr std::array kConverted = {
    kF00R0, kF01R0, kF02R1, kF03R0, kF08R1, kF09R0, kF10R2, kF10R3, kF10R4, kF10R4Backup,
    kF11R2, kF11R3, kF13R0, kF13R1, kF14R0, kF15R0, kF15R1, kF17,   kF17R0, kF18R0,
    kF18R1, kF18R2, kF19,   kF22,   kF22Backup, kF24, kF25R0, kF26R0, kF28R0, kF31,
    kF32,   kF34,   kF40,   kPhoneList, kR33, kReg04, kR50,   kReg01,
};

}  // namespace files

// ---- fields -----------------------------------------------------------------------

// The people record of 1000 bytes that 4.35 gave the members (F10R4.DAT) and
// F13R1.DAT and F17R0.DAT, and that the later tables of people share. Up to
// offset 815 it stays the same through every release.
namespace person {
inline constexpr Field kCode{0, 11};
inline constexpr Field kFirstPhone{290, 41};
inline constexpr Field kSecondPhone{331, 41};
inline constexpr Field kCountry{643, 20};
inline constexpr Field kKindCode{693, 1};  // 1 to 5
}  // namespace person

// What the members' record holds past the shared part, release by release.
namespace member435 {
inline constexpr Field kExclusion{815, 1};
inline constexpr Field kField29{816, 10};  // a date "dd/mm/yyyy" or other text
inline constexpr Field kPeriodCode{826, 2};  // "01" monthly, "12" yearly
inline constexpr Field kValue{828, 16};
inline constexpr Field kStartDate{844, 10};  // written by later releases only
}  // namespace member435
namespace member469 {
inline constexpr Field kGridStart{502, 10};  // "dd/mm/yyyy"
inline constexpr Field kPackedMarks{512, 40};
inline constexpr Field kKindNumber{826, 3};  // into F31.DAT
}  // namespace member469
namespace member530 {
inline constexpr Field kExclusion{239, 1};
inline constexpr Field kField29Date{552, 10};
inline constexpr Field kKindNumber{815, 3};
}  // namespace member530

// F09R0.DAT as 5.30 makes it.
namespace f09r0 {
inline constexpr Field kOldDate{492, 10};     // moves to kDateOrText
inline constexpr Field kDateOrText{552, 43};  // a date; other text moves to kBlock
inline constexpr Field kBlock{613, 43};       // rearranged by 5.59
}  // namespace f09r0

// A due entry of F22.DAT.
namespace due_entry {
inline constexpr Field kCode{0, 10};
inline constexpr Field kNumber{10, 10};
inline constexpr Field kDate{20, 10};
inline constexpr Field kAmount{30, 14};
inline constexpr Field kPeriodCode{44, 2};
}  // namespace due_entry

}  // namespace store
