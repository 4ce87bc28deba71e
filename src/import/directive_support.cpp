#include "import/directive_support.h"

#include "db/connection.h"
#include "import/company_key.h"
#include "import/fields.h"
#include "import/run.h"
#include "session/int_stg_list.h"
#include "session/reference_data.h"

namespace zi {

namespace {

// The company code and country of a key of the company-code form.
bool CodeAndCountry(std::string_view token1, std::string_view token2, TCompanyKey& key, int32_t& country) {
  key = SplitCompanyKey(token1, token2);
  return key.form == TCompanyKeyForm::CompanyCode && ReadIntegerField(key.value2, country);
}

}  // namespace

bool Absent(std::string_view token) { return token.empty() || token == "-"; }

bool ReadKnownCode(std::string_view token, tIntStgList& list, int32_t& value) {
  return ReadIntegerField(token, value) && list.ItemDoId(value) != nullptr;
}

bool CompanyOfTheFile(tImpRoot& run, std::string_view token1, std::string_view token2) {
  TCompanyKey key;
  int32_t country = 0;
  return CodeAndCountry(token1, token2, key, country) && run.EmpAdded().Contains(key.value1, country);
}

bool ClassOfTheFile(tImpRoot& run, std::string_view token1, std::string_view token2, std::string_view className) {
  TCompanyKey key;
  int32_t country = 0;
  return CodeAndCountry(token1, token2, key, country) &&
         run.ClassAdded().Contains(key.value1, std::string(className), country);
}

int AtomicWrites(const std::function<int()>& writes) {
  db::TTransactionGuard transaction(db::ZiDb());
  if (const int code = transaction.Code()) return code;
  int code = writes();
  if (code == 0) code = transaction.Commit();
  // A list read again inside the transaction would keep items that the rollback took away.
  if (code != 0) EsqueceListasDeObjetos();
  return code;
}

}  // namespace zi
