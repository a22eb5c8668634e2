#pragma once
#include <string>
#include <string_view>

// Echo of one byte of a counted record: printable ASCII as itself, anything else "\xNN".
void AppendEcho(std::string& echo, unsigned char byte);
// Every byte of `bytes` so.
std::string EchoText(std::string_view bytes);
