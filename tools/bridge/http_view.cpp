#include "tools/bridge/http_view.h"

#include <boost/beast/websocket/rfc6455.hpp>
#include <utility>

namespace velmora::bridge {

namespace http = boost::beast::http;

namespace {

std::string_view View(boost::beast::string_view text)
{
    return std::string_view(text.data(), text.size());
}

}  // namespace

RequestView ViewOf(const http::request<http::string_body>& request)
{
    RequestView view;
    view.version = request.version();
    view.method = View(request.method_string());
    view.target = View(request.target());
    for (auto [field, end] = request.equal_range(http::field::host); field != end; ++field)
        view.hosts.push_back(View(field->value()));
    const auto header = [&request](auto name) -> std::optional<std::string_view> {
        const auto found = request.find(name);
        if (found == request.end()) return std::nullopt;
        return View(found->value());
    };
    view.authorization = header(http::field::authorization);
    view.contentType = header(http::field::content_type);
    view.origin = header(http::field::origin);
    for (const auto& [name, field] :
         {std::pair{"Origin", http::field::origin}, std::pair{"Content-Type", http::field::content_type},
          std::pair{"Authorization", http::field::authorization}}) {
        if (request.count(field) > 1) view.repeated = name;
    }
    view.fetchSite = header(boost::beast::string_view("Sec-Fetch-Site"));
    view.protocols = header(http::field::sec_websocket_protocol);
    view.websocketUpgrade = boost::beast::websocket::is_upgrade(request);
    view.body = request.body();
    return view;
}

}  // namespace velmora::bridge
