// What DecideRequest reads of a request Beast parsed: views into the request, valid while it lives.
#pragma once

#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>

#include "tools/bridge/http_route.h"

namespace velmora::bridge {

RequestView ViewOf(const boost::beast::http::request<boost::beast::http::string_body>& request);

}  // namespace velmora::bridge
