#include "formats/Echo.h"

void AppendEcho(std::string& echo, unsigned char byte) {
    if (byte >= 32 && byte <= 126) {
        echo.push_back(static_cast<char>(byte));
        return;
    }
    static constexpr char hex[] = "0123456789abcdef";
    echo += "\\x";
    echo.push_back(hex[byte >> 4]);
    echo.push_back(hex[byte & 0x0F]);
}

std::string EchoText(std::string_view bytes) {
    std::string s;
    for (const char c : bytes)
        AppendEcho(s, static_cast<unsigned char>(c));
    return s;
}
