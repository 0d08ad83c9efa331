// The JSON of /api/v1/ for MES and ERP systems: pure functions from the store's rows to the
// documents (UTF-8; bytes that are not UTF-8 taken as Latin-1). The shapes are in the manual.
#pragma once

#include <string>
#include <vector>

#include "web/pages/Pages.h"

namespace web {

std::string sitesJson(const Overview& overview);
std::string transfersJson(const TransferQuery& query,
                          const std::vector<dnc::history::HistoryRow>& rows);
std::string revisionsJson(const std::vector<dnc::history::RevisionRow>& rows);
std::string diffJson(const RevisionView& view);
std::string errorJson(const std::string& message);

}  // namespace web
