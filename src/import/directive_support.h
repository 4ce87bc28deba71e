#pragma once
// What the object, reference-data and indicator directives share: absent fields, codes that must
// name items of the session's lists, the objects that earlier lines of the file create, and the
// writes of a line made all or nothing.

#include <cstdint>
#include <functional>
#include <string_view>

namespace zi {

class tIntStgList;
class tImpRoot;

// A field written as "-", or not written, counts as absent.
bool Absent(std::string_view token);

// An integer that the list holds.
bool ReadKnownCode(std::string_view token, tIntStgList& list, int32_t& value);

// Whether a company key of the company-code form names a company that an earlier line of the file
// creates; and the same for a class key.
bool CompanyOfTheFile(tImpRoot& run, std::string_view token1, std::string_view token2);
bool ClassOfTheFile(tImpRoot& run, std::string_view token1, std::string_view token2, std::string_view className);

// Runs the writes of one line in one transaction: every write stays, or none does. Returns the
// writes' code, or the transaction's when it could not begin or commit.
int AtomicWrites(const std::function<int()>& writes);

}  // namespace zi
