#include "verification/verification_core.h"

#include "verification/workbook_data_source.h"

namespace zumt {

VerificationCore::VerificationCore(const EditionProfile& edition, std::string reportPath)
    : edition_(edition), reportPath_(std::move(reportPath)) {
  auto connection = std::make_unique<WorkbookConnection>(std::string(edition.DataSourceName));
  query_ = std::make_unique<WorkbookQuery>(*connection);
  connection_ = std::move(connection);
}

VerificationCore::VerificationCore(const EditionProfile& edition, std::unique_ptr<Connection> connection,
                                   std::unique_ptr<Query> query, std::string reportPath)
    : edition_(edition),
      connection_(std::move(connection)),
      query_(std::move(query)),
      reportPath_(std::move(reportPath)) {}

VerificationCore::~VerificationCore() {
  // The query reads through the connection: drop it first.
  query_.reset();
  connection_.reset();
}

}  // namespace zumt
