#pragma once
// Texts of the date and size cells of both file lists (ASCII).
#include <cstdint>
#include <filesystem>
#include <string>

namespace hemlo::transfer {

struct CivilTime {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};

// "yyyy/mm/dd hh:nn:ss", the time left out when it is exactly 00:00:00.
// The time has two-digit hours so that the cells sort as text.
std::string DateCellText(const CivilTime& t);
// From a listing date: days since 1899-12-30, the fraction the time of day.
CivilTime FromDayNumber(double days);
// A local file's last-write time in local time.
CivilTime LocalWriteTime(const std::filesystem::file_time_type& t);

// "#,0" with thousands separators, padded on the left with blanks to 10
// characters; longer texts are kept whole.
std::string SizeCellText(int64_t size);

}  // namespace hemlo::transfer
