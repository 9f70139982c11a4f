#include <string_view>

#include "platform/filesystem/short_path.h"
#include "verification/verification_core.h"

namespace zumt {

bool VerificationCore::ConnectToForm(const std::string& path) {
  try {
    // The file name is everything after the last separator; the directory
    // keeps its separator only when it is the root ("/form.xls" -> "/").
    const std::size_t slash = path.rfind('/');
    FormFileName = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string directory;
    if (slash != std::string::npos) directory = slash == 0 ? std::string("/") : path.substr(0, slash);
    FormDir = ShortDirectoryForm(directory);
    FormConnectionString = "DSN=" + std::string(edition_.DataSourceName) + ";DBQ=" + FormDir + "/" +
                           FormFileName + ";DefaultDir=" + FormDir + ";";
    if (connection_->IsOpen()) connection_->Close();
    connection_->SetConnectionString(FormConnectionString);
    connection_->Open();
    return connection_->IsOpen();
  } catch (...) {
    FormConnectionString.clear();
    FormFileName.clear();
    FormDir.clear();
    return false;
  }
}

bool VerificationCore::Form_ID_Check(const std::string& code) const {
  const std::string probe = "#" + code + "#";
  return edition_.AcceptedFormCodes.find(probe) != std::string_view::npos;
}

void VerificationCore::RunQuery(const std::string& sql) {
  if (query_->IsOpen()) query_->Close();
  query_->ClearSql();
  query_->AddSqlLine(sql);
  query_->Open();
}

}  // namespace zumt
