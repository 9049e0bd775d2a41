#pragma once
// The fields of the CSV files the program writes for spreadsheets (the
// inventory, the history's export). Texts come from devices, which choose
// their own names, so a text that a spreadsheet would run as a formula is
// guarded.
#include <string>

namespace qz {

// A cell as a spreadsheet takes it literally: a text beginning with "=",
// "+", "-", "@", TAB or CR gets a leading "'" (a plain number stays as it is).
std::string GuardedCell(const std::string& text);

// A field of an RFC 4180 record: quoted when it holds a comma, a quote, CR
// or LF, its quotes doubled.
std::string CsvField(const std::string& text);

}  // namespace qz
