#include "formats/Checksum.h"

namespace {
constexpr char Hex[] = "0123456789ABCDEF";

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
} // namespace

std::uint8_t NmeaChecksum(std::string_view body) {
    unsigned char sum = 0;
    for (std::size_t i = 1; i < body.size(); ++i)
        sum = static_cast<unsigned char>(sum ^ static_cast<unsigned char>(body[i]));
    return sum;
}

char* AppendChecksum(char* sentence, char* end) {
    const std::uint8_t sum =
        NmeaChecksum(std::string_view(sentence, static_cast<std::size_t>(end - sentence)));
    end[0] = '*';
    end[1] = Hex[sum >> 4];
    end[2] = Hex[sum & 0x0F];
    end[3] = '\0';
    return sentence;
}

void AppendChecksum(std::string& sentence) {
    const auto length = sentence.size();
    sentence.resize(length + 4);
    AppendChecksum(sentence.data(), sentence.data() + length);
    sentence.resize(length + 3);
}

std::optional<std::size_t> ChecksumPosition(std::string_view sentence) {
    const std::size_t star = sentence.rfind('*');
    if (star == std::string_view::npos || star + 2 >= sentence.size() ||
        !isHex(sentence[star + 1]) || !isHex(sentence[star + 2]))
        return std::nullopt;
    return star;
}

void RewriteChecksum(std::string& sentence, std::size_t star) {
    const std::uint8_t sum = NmeaChecksum(std::string_view(sentence).substr(0, star));
    sentence[star + 1] = Hex[sum >> 4];
    sentence[star + 2] = Hex[sum & 0x0F];
}
