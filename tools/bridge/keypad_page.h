// The keypad page that serve answers on GET /: our own HTML, CSS and JavaScript (tools/bridge/page/),
// built into the executable, assembled once into one self-contained document.
#pragma once

#include <string>
#include <string_view>

namespace velmora::bridge {

// The document: the style and the script inline, the key table (names, captions, which keys hold)
// as JSON data.
const std::string& KeypadPageHtml();

// Its Content-Security-Policy: nothing but its own inline style and script (by hash) and a
// WebSocket to host, the Host it was asked under; no framing by other sites.
std::string KeypadPagePolicy(std::string_view host);

}  // namespace velmora::bridge
