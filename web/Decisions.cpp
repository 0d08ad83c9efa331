// Accept and reject from the browser: not written here but filed as a request that the site
// owning the revision carries out and confirms.
#include "web/ServerImpl.h"

namespace web {

void WebServer::Impl::decisionRoutes() {}

void WebServer::Impl::addRequestOf(HistoryStore&, RevisionView&) {}

}  // namespace web
