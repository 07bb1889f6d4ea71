// What serve prints for phones when it listens off loopback with a token: the keypad page's address
// with the token in its fragment (which no request carries), and that address as a QR code drawn
// for the terminal.
#pragma once

#include <string>
#include <string_view>

namespace velmora::bridge {

// http://ADDRESS:PORT/#token=TOKEN, the token percent-encoded, an IPv6 address in brackets.
std::string PhoneUrl(std::string_view address, unsigned short port, std::string_view token);

// text as a QR code in lines of Unicode half blocks (light modules drawn, for a dark terminal), with
// a quiet zone; empty when the build has no libqrencode or the text does not fit.
std::string TerminalQrCode(std::string_view text);

}  // namespace velmora::bridge
