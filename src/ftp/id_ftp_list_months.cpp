// Month names as listing lines print them, in the languages of the
// servers' locales.
#include <string>
#include <unordered_map>

#include "base/ascii_case.h"
#include "ftp/id_ftp_list_internal.h"

namespace hemlo::ftp::listing {

namespace {

// Month names as `ls` prints them in the locales our users' servers run,
// lower case; accented ones in UTF-8 and, for the Latin ones, ISO-8859-1.
const std::unordered_map<std::string_view, int>& MonthNames() {
  static const std::unordered_map<std::string_view, int> names = [] {
    struct Entry {
      const char* name;
      int month;
    };
    static const Entry kEntries[] = {
        // English
        {"jan", 1},
        {"feb", 2},
        {"mar", 3},
        {"apr", 4},
        {"may", 5},
        {"jun", 6},
        {"jul", 7},
        {"aug", 8},
        {"sep", 9},
        {"sept", 9},
        {"oct", 10},
        {"nov", 11},
        {"dec", 12},
        {"january", 1},
        {"february", 2},
        {"march", 3},
        {"april", 4},
        {"june", 6},
        {"july", 7},
        {"august", 8},
        {"september", 9},
        {"october", 10},
        {"november", 11},
        {"december", 12},
        // German
        {"j\xC3\xA4n", 1},
        {"j\xE4n", 1},
        {"m\xC3\xA4r", 3},
        {"m\xE4r", 3},
        {"mrz", 3},
        {"m\xC3\xA4rz", 3},
        {"m\xE4rz", 3},
        {"mai", 5},
        {"juni", 6},
        {"juli", 7},
        {"okt", 10},
        {"dez", 12},
        {"januar", 1},
        {"februar", 2},
        {"oktober", 10},
        {"dezember", 12},
        // French
        {"janv", 1},
        {"f\xC3\xA9vr", 2},
        {"f\xE9vr", 2},
        {"fevr", 2},
        {"mars", 3},
        {"avr", 4},
        {"juin", 6},
        {"juil", 7},
        {"ao\xC3\xBBt", 8},
        {"ao\xFBt", 8},
        {"aout", 8},
        {"d\xC3\xA9"
         "c",
         12},
        {"d\xE9"
         "c",
         12},
        {"janvier", 1},
        {"f\xC3\xA9vrier", 2},
        {"avril", 4},
        {"juillet", 7},
        {"septembre", 9},
        {"octobre", 10},
        {"novembre", 11},
        {"d\xC3\xA9"
         "cembre",
         12},
        // Spanish, Italian, Portuguese
        {"ene", 1},
        {"abr", 4},
        {"ago", 8},
        {"set", 9},
        {"dic", 12},
        {"enero", 1},
        {"febrero", 2},
        {"marzo", 3},
        {"abril", 4},
        {"mayo", 5},
        {"junio", 6},
        {"julio", 7},
        {"agosto", 8},
        {"septiembre", 9},
        {"setiembre", 9},
        {"octubre", 10},
        {"noviembre", 11},
        {"diciembre", 12},
        {"gen", 1},
        {"mag", 5},
        {"giu", 6},
        {"lug", 7},
        {"ott", 10},
        {"gennaio", 1},
        {"febbraio", 2},
        {"aprile", 4},
        {"maggio", 5},
        {"giugno", 6},
        {"luglio", 7},
        {"settembre", 9},
        {"ottobre", 10},
        {"dicembre", 12},
        {"fev", 2},
        {"out", 10},
        {"janeiro", 1},
        {"fevereiro", 2},
        {"mar\xC3\xA7o", 3},
        {"mar\xE7o", 3},
        {"maio", 5},
        {"junho", 6},
        {"julho", 7},
        {"setembro", 9},
        {"outubro", 10},
        {"novembro", 11},
        {"dezembro", 12},
        // Dutch, Scandinavian
        {"mrt", 3},
        {"mei", 5},
        {"januari", 1},
        {"februari", 2},
        {"maart", 3},
        {"augustus", 8},
        {"maj", 5},
        {"des", 12},
        // Hungarian
        {"febr", 2},
        {"m\xC3\xA1rc", 3},
        {"m\xE1rc", 3},
        {"marc", 3},
        {"\xC3\xA1pr", 4},
        {"\xE1pr", 4},
        {"m\xC3\xA1j", 5},
        {"m\xE1j", 5},
        {"j\xC3\xBAn", 6},
        {"j\xFAn", 6},
        {"j\xC3\xBAl", 7},
        {"j\xFAl", 7},
        {"szept", 9},
        // Polish, Czech, Turkish
        {"sty", 1},
        {"lut", 2},
        {"kwi", 4},
        {"cze", 6},
        {"lip", 7},
        {"sie", 8},
        {"wrz", 9},
        {"pa\xC5\xBA", 10},
        {"lis", 11},
        {"gru", 12},
        {"led", 1},
        {"\xC3\xBAno", 2},
        {"b\xC5\x99"
         "e",
         3},
        {"dub", 4},
        {"kv\xC4\x9B", 5},
        {"\xC4\x8D"
         "en",
         6},
        {"\xC4\x8D"
         "ec",
         7},
        {"srp", 8},
        {"z\xC3\xA1\xC5\x99", 9},
        {"\xC5\x99\xC3\xAD"
         "j",
         10},
        {"pro", 12},
        {"oca", 1},
        {"\xC5\x9F"
         "ub",
         2},
        {"nis", 4},
        {"haz", 6},
        {"tem", 7},
        {"a\xC4\x9Fu", 8},
        {"eyl", 9},
        {"eki", 10},
        {"kas", 11},
        {"ara", 12},
        // Russian
        {"\xD1\x8F\xD0\xBD\xD0\xB2", 1},
        {"\xD1\x84\xD0\xB5\xD0\xB2", 2},
        {"\xD0\xBC\xD0\xB0\xD1\x80", 3},
        {"\xD0\xB0\xD0\xBF\xD1\x80", 4},
        {"\xD0\xBC\xD0\xB0\xD1\x8F", 5},
        {"\xD0\xBC\xD0\xB0\xD0\xB9", 5},
        {"\xD0\xB8\xD1\x8E\xD0\xBD", 6},
        {"\xD0\xB8\xD1\x8E\xD0\xBB", 7},
        {"\xD0\xB0\xD0\xB2\xD0\xB3", 8},
        {"\xD1\x81\xD0\xB5\xD0\xBD", 9},
        {"\xD0\xBE\xD0\xBA\xD1\x82", 10},
        {"\xD0\xBD\xD0\xBE\xD1\x8F", 11},
        {"\xD0\xB4\xD0\xB5\xD0\xBA", 12},
    };
    std::unordered_map<std::string_view, int> map;
    for (const Entry& e : kEntries) map.emplace(e.name, e.month);
    return map;
  }();
  return names;
}

}  // namespace

int MonthFromName(std::string_view word) {
  // "Juli," and "Jan.," as German `ls` prints them before the time.
  if (!word.empty() && word.back() == ',') word.remove_suffix(1);
  if (!word.empty() && word.back() == '.') word.remove_suffix(1);
  if (word.size() < 3 || word.size() > 12 || IsDigit(word[0])) return 0;
  char buf[12];
  for (size_t i = 0; i < word.size(); ++i) buf[i] = AsciiLower(word[i]);
  const auto& names = MonthNames();
  auto it = names.find(std::string_view(buf, word.size()));
  return it == names.end() ? 0 : it->second;
}

}  // namespace hemlo::ftp::listing
