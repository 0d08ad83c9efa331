// Accept and reject from the browser: not carried out here but filed as a request that the site
// owning the revision carries out and confirms. Only these requests write to the store.
#include <filesystem>

#include "web/ServerImpl.h"

namespace web {

namespace {

FiledRequest shown(const dnc::history::DecisionRequest& request) {
    FiledRequest filed;
    switch (request.status) {
        case dnc::history::DecisionRequest::Status::Open:
            filed.status = FiledRequest::Status::Open;
            break;
        case dnc::history::DecisionRequest::Status::Done:
            filed.status = FiledRequest::Status::Done;
            break;
        case dnc::history::DecisionRequest::Status::Failed:
            filed.status = FiledRequest::Status::Failed;
            break;
    }
    filed.action = std::string(dnc::revisions::toText(request.action));
    filed.user = request.user;
    filed.site = request.site;
    filed.result = request.result;
    return filed;
}

}  // namespace

void WebServer::Impl::addRequestOf(HistoryStore& store, RevisionView& view) {
    dnc::history::RequestFilter filter;
    filter.revision = view.revision.id;
    // A store without requests yet (an older schema) shows none; the page still shows.
    if (const auto found = store.requests(filter); found && !found->empty()) {
        view.request = shown(found->front());
    }
}

void WebServer::Impl::decisionRoutes() {
    server.Post(R"(/revisions/(\d+)/(accept|reject))", [this](const httplib::Request& req,
                                                              httplib::Response& res) {
        const auto s = required(req, res, false);
        if (!s) {
            return;
        }
        const Viewer viewer = viewerOf(req, s);
        if (!Sessions::tokenMatches(*s, req.get_param_value("csrf"))) {
            html(res, 403, errorPage(viewer, tr(viewer.language, text::kStaleForm)));
            return;
        }
        if (s->role != Role::Approver) {
            html(res, 403, errorPage(viewer, tr(viewer.language, text::kViewOnly)));
            return;
        }
        const std::string digits = req.matches[1];
        if (digits.size() > 18) {
            html(res, 404, errorPage(viewer, tr(viewer.language, text::kNotFound)));
            return;
        }
        dnc::history::DecisionRequest request;
        request.revision = std::stoll(digits);
        request.action = req.matches[2] == "reject" ? dnc::revisions::Action::Reject
                                                    : dnc::revisions::Action::Accept;
        request.user = s->user;
        request.from = "web";
        request.timeUs = dnc::history::microseconds(std::chrono::system_clock::now());

        std::string refusal;
        {
            std::string error;
            auto lease = writer(error);
            if (!lease) {
                const std::string message = tr(viewer.language, text::kStoreAway, {error});
                html(res, 503, errorPage(viewer, message));
                res.set_header("Retry-After", "10");
                return;
            }
            if ((*lease)->fileRequest(request)) {
                reading.clear();
                res.set_redirect("/revisions/" + digits, 303);
                return;
            }
            refusal = (*lease)->error();
            lease->discard();
        }
        // Refused (or the store failed): the revision again, with why.
        withStore(viewer, res, false, [&](HistoryStore& store) {
            RevisionView view;
            bool found = false;
            if (!loadRevision(store, request.revision, view, found)) {
                return false;
            }
            if (!found) {
                html(res, 404, errorPage(viewer, tr(viewer.language, text::kNotFound)));
                return true;
            }
            addRequestOf(store, view);
            view.message = tr(viewer.language, text::kNotFiled, {refusal});
            html(res, 409, revisionPage(viewer, view));
            return true;
        });
    });
}

std::optional<StorePool::Lease> WebServer::Impl::writer(std::string& error) {
    // A site's file is written only where it is: a missing one is not made here.
    const auto& location = options.store;
    const bool server =
        location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0;
    if (!server && !std::filesystem::exists(location)) {
        error = "no history database at " + location;
        return std::nullopt;
    }
    return writing.borrow(error);
}

}  // namespace web
